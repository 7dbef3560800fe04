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

// A column exactly as wide as its field fits and one character more does
// not; a column of unknown size is not guessed at.
TEST(LayoutCheckFields, DisplaySizeAgainstFieldLength) {
  Fields fields;
  Use(fields, 1, "NAME", "TXT", 10);
  Use(fields, 2, "NR", "DEC", 5);
  Use(fields, 3, "NOTE", "CHAR", 3);
  EXPECT_TRUE(qj::FieldProblems(fields, {{"name", "VARCHAR", 10}, {"nr", "INTEGER", 5}, {"note", "", 0}}).empty());
  const auto problems = qj::FieldProblems(fields, {{"name", "VARCHAR", 11}, {"nr", "INTEGER", 6}, {"note", "", 0}});
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].rfind("FELD01 (NAME): Spalte 'name' (VARCHAR) hat bis zu 11 Zeichen, das TXT-Feld nur 10", 0), 0u);
  EXPECT_EQ(problems[1].rfind("FELD02 (NR): Spalte 'nr' (INTEGER) hat bis zu 6 Zeichen, das DEC-Feld nur 5", 0), 0u);
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

// A record with both an empty header text and the number 0 is named once;
// an entry line without ";" has no number and counts only by its header.
TEST(LayoutCheckConvertedIni, RecordsThatAnswerEveryLookup) {
  const qj::ConvertedIniFile file = qj::ConvertedIniFile::Parse(
      "INI;DB;Ohne Nummer\nkein Semikolon\n#\n0;DB_SYSTEM;SQLITE\nINI;DB;Quelle\n2;DATABASE;file:x.db\n");
  EXPECT_EQ(qj::CatchAllRecordProblems(file, "f"),
            (std::vector<std::string>{"f Zeile 3: Datensatz 'DB_SYSTEM' mit leerem Kopftext und Nummer 0 beantwortet "
                                      "jede Abfrage, jetzt die von DATABASE, LOGIN, PASS statt deren eigener "
                                      "Datensaetze"}));
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
