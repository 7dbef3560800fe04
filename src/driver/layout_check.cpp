#include "driver/layout_check.h"

#include <algorithm>
#include <memory>

#include "dbconn/data_module.h"
#include "dbconn/connect_login.h"
#include "dbconn/set_db_usr.h"
#include "driver/console.h"
#include "driver/database_text.h"
#include "driver/result_codes.h"
#include "driver/run_sequence.h"
#include "extract/company_query.h"
#include "platform/text_util.h"
#include "querydef/company_list.h"
#include "querydef/placeholder.h"
#include "querydef/query_definition.h"

namespace qj {

namespace {

constexpr const char* kParameterKeys[] = {"DB_SYSTEM", "DATABASE", "LOGIN", "PASS"};

std::string Number(int64_t value) { return std::to_string(value); }

// What a used slot's value may be: an unknown display size or database type
// shows as "?".
std::string DisplaySizeText(const ColumnInfo& column) {
  return column.DisplaySize > 0 ? Number(column.DisplaySize) : "?";
}

std::string TypeText(const ColumnInfo& column) { return column.TypeName.empty() ? "?" : DatabaseText(column.TypeName); }

std::string JoinedKeys(const std::vector<std::string>& keys) {
  std::string text;
  for (const std::string& key : keys) text += (text.empty() ? "" : ", ") + key;
  return text;
}

// The check's report on standard output: what was read and found, then the
// problems; an early end says why it stopped there.
class CheckReport {
 public:
  void Line(const std::string& text) { lines_.push_back(text); }
  void Problem(const std::string& text) { problems_.push_back(text); }
  void Problems(const std::vector<std::string>& texts) { problems_.insert(problems_.end(), texts.begin(), texts.end()); }

  int Finish() {
    PrintLines();
    if (problems_.empty()) {
      Console::Out("Keine Probleme gefunden\n");
      return kExitDone;
    }
    return kExitLayoutProblem;
  }

  // The check cannot go on: the report so far and why, with the code the
  // run would end with at this point.
  int Abort(const std::string& why, int code) {
    PrintLines();
    Console::Out("Pruefung abgebrochen: " + why + "\n");
    return code;
  }

 private:
  void PrintLines() const {
    for (const std::string& line : lines_) Console::Out(line + "\n");
    if (problems_.empty()) return;
    Console::Out("Probleme: " + Number(static_cast<int64_t>(problems_.size())) + "\n");
    for (const std::string& problem : problems_) Console::Out("  " + problem + "\n");
  }

  std::vector<std::string> lines_;
  std::vector<std::string> problems_;
};

// The records of the converted ini file as the run's lookups see them.
ConvertedIniFile ConvertedIniRecords(const std::string& path) {
  const FileBytes file = ReadWholeFile(path);
  return ConvertedIniFile::Parse(file.opened ? file.bytes : std::string());
}

}  // namespace

std::vector<std::string> FieldProblems(const std::array<FieldDefinition, kFieldSlots>& fields,
                                       const std::vector<ColumnInfo>& columns) {
  std::vector<std::string> problems;
  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    const FieldDefinition& field = fields[static_cast<size_t>(slot - 1)];
    if (field.Name.empty()) continue;
    const std::string label = SlotLabel(slot, field);
    if (static_cast<size_t>(slot) > columns.size()) {
      problems.push_back(label + ": Spalte " + Number(slot) + " fehlt, die Anweisung liefert nur " +
                         Number(static_cast<int64_t>(columns.size())) +
                         " Spalten; ein Lauf bricht beim ersten Satz ab (Code 3)");
      continue;
    }
    // A slot of no known type adds nothing; its load warning names it.
    if (field.Kind == FieldKind::Unknown) continue;
    if (field.Length < 0) {
      problems.push_back(label + ": " + SlotKey("FLEN", slot) + " = " + Number(field.Length) +
                         " ist negativ, das Feld hat die Laenge 0");
    }
    const int64_t width = std::max<int64_t>(field.Length, 0);
    const ColumnInfo& column = columns[static_cast<size_t>(slot - 1)];
    if (column.DisplaySize <= width) continue;
    const bool dec = field.Kind == FieldKind::Dec;
    problems.push_back(label + ": Spalte '" + DatabaseText(column.Name) + "' (" + TypeText(column) + ") hat bis zu " +
                       Number(column.DisplaySize) + " Zeichen, das " + field.Type + "-Feld nur " + Number(width) +
                       (dec ? "; ein laengerer Wert bricht den Lauf ab (Code 3)" : "; laengere Werte werden gekuerzt"));
  }
  return problems;
}

std::vector<std::string> CatchAllRecordProblems(const ConvertedIniFile& file, const std::string& path) {
  std::vector<std::string> problems;
  for (const ConvertedRecord& record : file.Records()) {
    const bool emptyHeader = record.HeaderText.empty();
    const bool numberZero = record.HasNumber && record.Number == 0;
    if (!emptyHeader && !numberZero) continue;
    std::vector<std::string> answered;
    for (const char* key : kParameterKeys) {
      const ConvertedRecord found = file.Find("", key, 0);
      if (found.HeaderLine == record.HeaderLine && found.Key != key) answered.emplace_back(key);
    }
    std::string text = path + " Zeile " + Number(static_cast<int64_t>(record.HeaderLine)) + ": Datensatz '" +
                       DatabaseText(record.Key) + "' mit " +
                       (emptyHeader && numberZero ? "leerem Kopftext und Nummer 0"
                        : emptyHeader           ? "leerem Kopftext"
                                                : "Nummer 0") +
                       " beantwortet jede Abfrage";
    if (!answered.empty()) text += ", jetzt die von " + JoinedKeys(answered) + " statt deren eigener Datensaetze";
    problems.push_back(text);
  }
  return problems;
}

std::vector<std::string> SlotTable(const std::array<FieldDefinition, kFieldSlots>& fields,
                                   const std::vector<ColumnInfo>& columns) {
  std::vector<std::vector<std::string>> rows = {
      {"Feld", "Name", "Typ", "Laenge", "Spalte", "Spaltenname", "Datenbanktyp", "Anzeigebreite"}};
  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    const FieldDefinition& field = fields[static_cast<size_t>(slot - 1)];
    if (field.Name.empty()) continue;
    std::vector<std::string> row = {SlotKey("FELD", slot), DatabaseText(field.Name),
                                    field.Type.empty() ? "-" : DatabaseText(field.Type), Number(field.Length),
                                    Number(slot)};
    if (static_cast<size_t>(slot) <= columns.size()) {
      const ColumnInfo& column = columns[static_cast<size_t>(slot - 1)];
      row.insert(row.end(), {DatabaseText(column.Name), TypeText(column), DisplaySizeText(column)});
    } else {
      row.insert(row.end(), {"(fehlt)", "-", "-"});
    }
    rows.push_back(std::move(row));
  }
  std::vector<size_t> widths(rows.front().size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::vector<std::string> lines;
  for (const auto& row : rows) {
    std::string line = " ";
    for (size_t i = 0; i < row.size(); ++i) {
      line += ' ' + row[i];
      if (i + 1 < row.size()) line.append(widths[i] - row[i].size() + 1, ' ');
    }
    lines.push_back(line);
  }
  return lines;
}

int64_t RecordWidth(const std::array<FieldDefinition, kFieldSlots>& fields) {
  int64_t width = 0;
  for (const FieldDefinition& field : fields) {
    if (!field.Name.empty() && field.Kind != FieldKind::Unknown) width += std::max<int32_t>(field.Length, 0);
  }
  return width;
}

int LayoutCheck(const std::string& sectionName, const std::string& terminalName, const std::string& targetFile) {
  ctx.CompanyCursor = 0;
  ctx.dm1 = std::make_shared<Tdm1>();
  ctx.SectionName = StatementWord(sectionName, "Sektionsname");
  ctx.TerminalName = StatementWord(terminalName, "Terminalname");
  ctx.TargetFile = targetFile;

  // The database parameters as a run finds them: a missing file or
  // parameter ends the check with the run's code and messages.
  ctx.ResultCode = SetDbUsr();
  if (ctx.ResultCode != 0) return ctx.ResultCode;
  LoadQueryIni();

  CheckReport report;
  report.Line("Pruefung der Sektion " + DatabaseText(ctx.SectionName) + " fuer Terminal " +
              DatabaseText(ctx.TerminalName) + " und Zieldatei " + ctx.TargetFile);
  const std::string convertedIni = AbsolutePath(ConvertedIniPath(ctx.TargetFile));
  report.Line("Konvertierte Ini-Datei: " + convertedIni);
  report.Line("Abfragedefinitionsdatei: " + ctx.QueryIni->Path +
              (ctx.QueryIni->Profile.Found() ? "" : " (nicht gefunden)"));
  const std::string& dataSource = ctx.dm1->VELMORANT.AliasName;
  report.Line(std::string("Datenbankzugriff: ") + EngineName(EngineKindOf(dataSource)) + ", Datenquelle '" +
              DatabaseText(MaskedConnectionString(dataSource)) + "'");
  report.Problems(CatchAllRecordProblems(ConvertedIniRecords(ConvertedIniPath(ctx.TargetFile)), convertedIni));

  // The company list is read as in a run; what its statements and sections
  // would print becomes problems of the report.
  std::vector<std::string> companyLines;
  {
    ConsoleCollector collected;
    ctx.ResultCode = ReadCompanyList();
    companyLines = std::move(collected.errorLines);
  }
  if (ctx.ConnectionFailed) {
    for (const std::string& line : companyLines) ErrorLine(line);
    return report.Abort("keine Verbindung zur Datenbank", kExitConnectionFailed);
  }
  for (const std::string& line : companyLines) report.Problem("Firmenliste: " + line);

  ResetDefinitions();
  int loaded = 0;
  {
    ConsoleCollector collected;
    loaded = GetIniValues(ctx.SectionName);
    report.Problems(collected.errorLines);
  }
  if (loaded != 0) return report.Abort("FELD01 ist 0, die Sektion ist abgeschaltet", loaded);

  SubstituteCompany();
  if (ctx.CompanyPlaceholderFound) {
    if (ctx.CompanyCount == 0) {
      report.Line("Firmen: keine");
      report.Problem("die Anweisung enthaelt $parm02, doch GETFIR1 und GETFIR2 liefern keine Firma: "
                     "ein Lauf fuehrt sie nicht aus");
    } else {
      report.Line("Firmen: " + Number(ctx.CompanyCount) + ", die erste '" + DatabaseText(ctx.CompanyAt(1)) + "'");
    }
  }
  ReplacePlaceholder(ctx.WorkingStatement, kTerminalPlaceholder, ctx.TerminalName);
  report.Line("Anweisung: '" + DatabaseText(ctx.WorkingStatement) + "'");

  // Prepared and described only: no row of the section is fetched.
  TQuery& query = ctx.dm1->Qry1;
  query.Close();
  query.ClearSql();
  query.AddSql(ctx.WorkingStatement);
  std::vector<ColumnInfo> columns;
  try {
    columns = query.Describe();
  } catch (const EDatabaseError& error) {
    const std::string message = DatabaseText(error.what());
    ErrorLine("Anweisung abgelehnt (DB Prepare): " + message);
    return report.Abort("die Datenbank lehnt die Anweisung ab: " + message, kExitStatementRejected);
  }
  if (columns.empty()) {
    return report.Abort("die Anweisung liefert keine Ergebnisspalten", kExitStatementRejected);
  }

  for (const std::string& line : SlotTable(ctx.Fields, columns)) report.Line(line);
  report.Line("Satzlaenge: " + Number(RecordWidth(ctx.Fields)) + " Bytes");
  report.Problems(FieldProblems(ctx.Fields, columns));
  return report.Finish();
}

}  // namespace qj
