#include "querydef/query_definition.h"


#include "driver/console.h"
#include "driver/database_text.h"
#include "driver/result_codes.h"
#include "driver/run_context.h"
#include "platform/directory_separators.h"
#include "platform/executable_path.h"
#include "platform/text_util.h"
#include "querydef/profile_reader.h"

namespace qj {

namespace {

constexpr int kLastStatementLine = 999;
// The longest field a record can hold; a longer length is taken for a typo.
constexpr int32_t kMaxFieldLength = 65535;

void Warn(const std::string& section, const std::string& text) {
  Console::Err("qjsqlexe: Warnung: Sektion " + DatabaseText(section) + ": " + text + "\n");
}

// "SQL001" or "FELD07": the prefix and the number with the given digits.
std::string NumberedKey(const char* prefix, int number, size_t digits) {
  std::string key = prefix;
  AppendDigits(static_cast<uint64_t>(number), digits, key);
  return key;
}

}  // namespace

std::string QueryIniPath(const std::string& executablePath, const std::string& dbSys) {
  std::string path = executablePath;
  const size_t dot = path.find_last_of(std::string(".") + DirectorySeparators());
  if (dot != std::string::npos && path[dot] == '.') path.erase(dot);
  return path + "." + dbSys + ".INI";
}

void ResetDefinitions() {
  for (FieldDefinition& field : ctx.Fields) field = FieldDefinition();
  ctx.RecordCount = 0;
}

int GetIniValues(const std::string& sectionName) {
  ctx.StatementTemplate.clear();
  Trace("Str GetIniValues\n");

  const ProfileFile profile = ProfileFile::Load(QueryIniPath(ExecutablePath(), ctx.DbSys));

  // Each line adds a blank and its text; the first empty line adds its blank
  // and ends the statement. A section using every key up to SQL999 ends
  // there as if the next line were empty.
  for (int line = 1;; ++line) {
    const std::string key = NumberedKey("SQL", line, 3);
    const std::string text = line <= kLastStatementLine ? profile.ReadText(sectionName, key, "") : "";
    if (line <= kLastStatementLine) {
      if (profile.WasCut(sectionName, key)) {
        Warn(sectionName, FormatMessage("%s auf %i Bytes gekuerzt", {key, static_cast<int64_t>(ProfileFile::kMaxValueBytes)}));
      }
      if (const size_t replaced = profile.ReplacedCharacters(sectionName, key); replaced > 0) {
        Warn(sectionName, FormatMessage("%s: %i Zeichen ohne Windows-1252-Entsprechung durch '?' ersetzt",
                                        {key, static_cast<int64_t>(replaced)}));
      }
    }
    if (line > kLastStatementLine) Warn(sectionName, "Anweisung reicht bis SQL999, weitere Zeilen werden nicht gelesen");
    ctx.StatementTemplate += ' ';
    ctx.StatementTemplate += text;
    if (text.empty()) break;
  }
  Trace("  >>>>> SQL-Statement <<<<<\n");
  Trace("  '%s'\n", {DatabaseText(ctx.StatementTemplate)});

  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    ctx.Field(slot).Name = profile.ReadText(sectionName, NumberedKey("FELD", slot, 2), "");
    UpperCaseAscii(ctx.Field(slot).Name);
  }
  if (ctx.Field(1).Name == "0") return kExitSectionDisabled;

  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    ctx.Field(slot).Type = profile.ReadText(sectionName, NumberedKey("FTYP", slot, 2), "");
    UpperCaseAscii(ctx.Field(slot).Type);
    ctx.Field(slot).Kind = FieldKindOf(ctx.Field(slot).Type);
  }
  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    const std::string key = NumberedKey("FLEN", slot, 2);
    int32_t length = profile.ReadInteger(sectionName, key, 0);
    if (length > kMaxFieldLength) {
      Warn(sectionName, FormatMessage("%s = %i ist groesser als 65535 und ungueltig, Feldlaenge 0", {key, length}));
      length = 0;
    }
    ctx.Field(slot).Length = length;
  }

  Trace("End GetIniValues\n");
  return 0;
}

}  // namespace qj
