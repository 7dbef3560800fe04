// The layout check's findings from a field layout and the columns of a
// result, and from the records of a converted ini file; the collector that
// turns what steps print into the check's report.
#include "driver/layout_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/console.h"

namespace {

using qj::ColumnInfo;
using qj::FieldDefinition;

using Fields = std::array<FieldDefinition, qj::kFieldSlots>;

void Use(Fields& fields, int slot, const std::string& name, const std::string& type, int32_t length) {
  FieldDefinition& field = fields[static_cast<size_t>(slot - 1)];
  field.Name = name;
  field.Type = type;
  field.Length = length;
  field.Kind = qj::FieldKindOf(type);
}

// A column exactly as wide as its field fits; one character more does not,
// and the text says what a run does with it: CHAR and TXT values are cut, a
// DEC value ends the run. A column of unknown size is not guessed at.
TEST(LayoutCheckFields, DisplaySizeAgainstFieldLength) {
  Fields fields;
  Use(fields, 1, "NAME", "CHAR", 10);
  Use(fields, 2, "CITY", "TXT", 20);
  Use(fields, 3, "NR", "DEC", 5);
  Use(fields, 4, "NOTE", "CHAR", 3);
  const std::vector<ColumnInfo> fit = {{"name", "VARCHAR", 10}, {"city", "VARCHAR", 20}, {"nr", "INTEGER", 5},
                                       {"note", "", 0}};
  EXPECT_TRUE(qj::FieldProblems(fields, fit).empty());

  const std::vector<ColumnInfo> wider = {{"name", "VARCHAR", 11}, {"city", "VARCHAR", 21}, {"nr", "INTEGER", 6},
                                         {"note", "", 0}};
  EXPECT_EQ(qj::FieldProblems(fields, wider),
            (std::vector<std::string>{
                "FELD01 (NAME): Spalte 'name' (VARCHAR) hat bis zu 11 Zeichen, das CHAR-Feld nur 10; laengere Werte "
                "werden gekuerzt",
                "FELD02 (CITY): Spalte 'city' (VARCHAR) hat bis zu 21 Zeichen, das TXT-Feld nur 20; laengere Werte "
                "werden gekuerzt",
                "FELD03 (NR): Spalte 'nr' (INTEGER) hat bis zu 6 Zeichen, das DEC-Feld nur 5; ein laengerer Wert "
                "bricht den Lauf ab (Code 3)"}));
}

// Every used slot reads its column, whatever its type: one beyond the
// result's columns is named even when it adds nothing. Slots not in use are
// not looked at; a negative length is named and counts as 0.
TEST(LayoutCheckFields, MissingColumnsAndNegativeLengths) {
  Fields fields;
  Use(fields, 1, "A", "CHAR", -2);
  Use(fields, 2, "B", "CHR", 4);
  Use(fields, 3, "", "CHAR", 1);
  Use(fields, 5, "E", "DEC", 3);
  const std::vector<ColumnInfo> columns = {{"a", "TEXT", 1}};
  EXPECT_EQ(qj::FieldProblems(fields, columns),
            (std::vector<std::string>{
                "FELD01 (A): FLEN01 = -2 ist negativ, das Feld hat die Laenge 0",
                "FELD01 (A): Spalte 'a' (TEXT) hat bis zu 1 Zeichen, das CHAR-Feld nur 0; laengere Werte werden "
                "gekuerzt",
                "FELD02 (B): Spalte 2 fehlt, die Anweisung liefert nur 1 Spalten; ein Lauf bricht beim ersten Satz ab "
                "(Code 3)",
                "FELD05 (E): Spalte 5 fehlt, die Anweisung liefert nur 1 Spalten; ein Lauf bricht beim ersten Satz ab "
                "(Code 3)"}));
  // The record holds the used CHAR, DEC and TXT slots only, a negative length as 0.
  EXPECT_EQ(qj::RecordWidth(fields), 3);
}

// The table of used slots: columns aligned on the widest entry, an unknown
// type or size as "?", a missing column as "(fehlt)", an empty type as "-".
TEST(LayoutCheckFields, SlotTableAlignsItsColumns) {
  Fields fields;
  Use(fields, 1, "KUNDENNUMMER", "DEC", 8);
  Use(fields, 2, "ORT", "", 0);
  Use(fields, 3, "X", "TXT", 1);
  const std::vector<ColumnInfo> columns = {{"kdnr", "", 0}, {"ort", "VARCHAR", 30}};
  EXPECT_EQ(qj::SlotTable(fields, columns),
            (std::vector<std::string>{
                "  Feld    Name          Typ  Laenge  Spalte  Spaltenname  Datenbanktyp  Anzeigebreite",
                "  FELD01  KUNDENNUMMER  DEC  8       1       kdnr         ?             ?",
                "  FELD02  ORT           -    0       2       ort          VARCHAR       30",
                "  FELD03  X             TXT  1       3       (fehlt)      -             -"}));
}

// A record with an empty header text (fewer than two ";" in its header
// line) or the number 0 answers every lookup; the lookups it takes from
// their own records are named, never its value. An entry line without ";"
// has no number and counts only by its header.
TEST(LayoutCheckConvertedIni, RecordsThatAnswerEveryLookup) {
  const qj::ConvertedIniFile file = qj::ConvertedIniFile::Parse(
      "INI;DB;System\n1;DB_SYSTEM;SQLITE\n"
      "INI;DB;Ohne Nummer\nkein Semikolon\n"
      "INI Kennwort\n4;PASS;streng-geheim\n"
      "INI;DB;Quelle\n2;DATABASE;file:x.db\n"
      "INI;DB;Benutzer\n3;LOGIN;qj\n"
      "INI;DB;Alt\n0;ALT;x\n");
  EXPECT_EQ(qj::CatchAllRecordProblems(file, "/d/QJDNL00P.TXT"),
            (std::vector<std::string>{"/d/QJDNL00P.TXT Zeile 5: Datensatz 'PASS' mit leerem Kopftext beantwortet jede "
                                      "Abfrage, jetzt die von DATABASE, LOGIN statt deren eigener Datensaetze",
                                      "/d/QJDNL00P.TXT Zeile 11: Datensatz 'ALT' mit Nummer 0 beantwortet jede "
                                      "Abfrage"}));

  const qj::ConvertedIniFile both = qj::ConvertedIniFile::Parse("#\n0;DB_SYSTEM;SQLITE\n");
  EXPECT_EQ(qj::CatchAllRecordProblems(both, "f"),
            (std::vector<std::string>{"f Zeile 1: Datensatz 'DB_SYSTEM' mit leerem Kopftext und Nummer 0 beantwortet "
                                      "jede Abfrage, jetzt die von DATABASE, LOGIN, PASS statt deren eigener "
                                      "Datensaetze"}));
  EXPECT_TRUE(qj::CatchAllRecordProblems(qj::ConvertedIniFile::Parse("INI;DB;System\n1;DB_SYSTEM;SQLITE\n"), "f")
                  .empty());
}

// While a collector lives, standard output and the diagnostic lines go into
// it, without the "qjsqlexe: " in front; an inner collector hands back to
// the outer one, the last one to the streams.
TEST(LayoutCheckConsole, CollectorKeepsWhatStepsPrint) {
  std::string out, err;
  qj::Console::CaptureForTest(&out, &err);
  {
    qj::ConsoleCollector outer;
    qj::Print("Exception bei DB %s\n", {"Open"});
    qj::ErrorLine("Warnung: Sektion S: unbekannter Schluessel X\nY");
    {
      qj::ConsoleCollector inner;
      qj::Console::Err("qjsqlexe: eins\nqjsqlexe: zwei\n");
      EXPECT_EQ(inner.errorLines, (std::vector<std::string>{"eins", "zwei"}));
    }
    qj::Console::Err("ohne Vorsatz");
    EXPECT_EQ(outer.out, "Exception bei DB Open\n");
    EXPECT_EQ(outer.errorLines,
              (std::vector<std::string>{"Warnung: Sektion S: unbekannter Schluessel X Y", "ohne Vorsatz"}));
  }
  qj::Print("danach\n");
  qj::ErrorLine("danach");
  qj::Console::CaptureForTest(nullptr, nullptr);
  EXPECT_EQ(out, "danach\n");
  EXPECT_EQ(err, "qjsqlexe: danach\n");
}

}  // namespace
