#include "querydef/query_definition.h"

#include <memory>

#include "driver/console.h"
#include "driver/database_text.h"
#include "driver/result_codes.h"
#include "driver/run_context.h"
#include "platform/directory_separators.h"
#include "platform/executable_path.h"
#include "platform/text_util.h"
#include "querydef/profile_integer.h"
#include "querydef/profile_reader.h"

namespace qj {

namespace {

constexpr int kLastStatementLine = 999;
// The longest field a record can hold; a longer length is taken for a typo.
constexpr int32_t kMaxFieldLength = 65535;

void Warn(const std::string& section, const std::string& text) {
  ErrorLine("Warnung: Sektion " + DatabaseText(section) + ": " + text);
}

// "SQL001" or "FELD07": the prefix and the number with the given digits.
std::string NumberedKey(const char* prefix, int number, size_t digits) {
  std::string key = prefix;
  AppendDigits(static_cast<uint64_t>(number), digits, key);
  return key;
}

int LoadFromProfile(const ProfileFile& profile, const std::string& sectionName, bool requested);

// Whether the key is the prefix and exactly `digits` digits numbering 1 to last.
bool IsNumberedKey(std::string key, const char* prefix, size_t digits, int last) {
  UpperCaseAscii(key);
  const std::string_view head(prefix);
  if (key.size() != head.size() + digits || key.compare(0, head.size(), head) != 0) return false;
  int number = 0;
  for (size_t i = head.size(); i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return false;
    number = number * 10 + (key[i] - '0');
  }
  return number >= 1 && number <= last;
}

// Statement lines past SQL999 count as known: the statement's own warning
// names them when it reaches that far.
bool IsKnownKey(const std::string& key) {
  return IsNumberedKey(key, "SQL", 3, kLastStatementLine) || IsNumberedKey(key, "SQL", 4, 9999) || IsNumberedKey(key, "FELD", 2, kFieldSlots) ||
         IsNumberedKey(key, "FTYP", 2, kFieldSlots) || IsNumberedKey(key, "FLEN", 2, kFieldSlots);
}

void WarnUnknownKeys(const ProfileFile& profile, const std::string& section) {
  for (const std::string& key : profile.Keys(section)) {
    if (!IsKnownKey(key)) Warn(section, "unbekannter Schluessel " + DatabaseText(key));
  }
}

// A used slot whose type adds nothing, or whose length is no number, gives
// a field the layout's author did not mean.
void WarnSlotLayout(const ProfileFile& profile, const std::string& section) {
  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    const FieldDefinition& field = ctx.Field(slot);
    if (field.Name.empty()) continue;
    const std::string name = SlotLabel(slot, field);
    const std::string typeKey = SlotKey("FTYP", slot);
    if (field.Type.empty()) {
      Warn(section, typeKey + " fehlt; " + name + " bleibt leer");
    } else if (field.Kind == FieldKind::Unknown) {
      Warn(section, typeKey + " = '" + DatabaseText(field.Type) + "' ist keiner der Typen CHAR, DEC, TXT; " + name +
                        " bleibt leer");
    }
    const std::string lengthKey = SlotKey("FLEN", slot);
    const std::string length = profile.ReadText(section, lengthKey, "");
    if (length.empty()) {
      Warn(section, lengthKey + " fehlt; " + name + " hat die Laenge 0");
    } else if (!ReadProfileInteger(length)) {
      Warn(section, lengthKey + " = '" + DatabaseText(length) + "' ist keine Zahl; " + name + " hat die Laenge 0");
    }
  }
}

// Loads a section from the run's file, or reads the file for this load
// alone when the run has not read it.
int LoadSection(const std::string& sectionName, bool requested) {
  std::unique_ptr<QueryIniFile> own;
  const QueryIniFile* file = ctx.QueryIni.get();
  if (file == nullptr) {
    own = std::make_unique<QueryIniFile>(FindQueryIni(ExecutablePath(), ctx.DbSys));
    file = own.get();
  }
  const ProfileFile& profile = file->Profile;
  if (requested && !profile.Found()) {
    ErrorLine("Abfragedefinitionsdatei " + file->Path + " nicht gefunden oder nicht lesbar" +
              (file->ConfigPath.empty() ? "" : " (auch nicht " + file->ConfigPath + ")") + ", Sektion " +
              DatabaseText(sectionName));
  } else if (requested && !profile.HasSection(sectionName)) {
    ErrorLine("Sektion " + DatabaseText(sectionName) + " fehlt in " + file->Path);
  }
  WarnUnknownKeys(profile, sectionName);
  return LoadFromProfile(profile, sectionName, requested);
}

}  // namespace

QueryIniFile FindQueryIni(const std::string& executablePath, const std::string& dbSys) {
  QueryIniFile file;
  file.Path = QueryIniPath(executablePath, dbSys);
  file.Profile = ProfileFile::Load(file.Path);
  const std::string directory = SystemConfigDirectory();
  if (file.Profile.Found() || directory.empty()) return file;
  const std::string name = file.Path.substr(DirectoryPart(file.Path, DirectorySeparators()).size());
  file.ConfigPath = directory + name;
  ProfileFile config = ProfileFile::Load(file.ConfigPath);
  if (config.Found()) {
    file.Path = file.ConfigPath;
    file.ConfigPath.clear();
    file.Profile = std::move(config);
  }
  return file;
}

void LoadQueryIni() {
  ctx.QueryIni = std::make_shared<QueryIniFile>(FindQueryIni(ExecutablePath(), ctx.DbSys));
}

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

int GetIniValues(const std::string& sectionName) { return LoadSection(sectionName, true); }

int LoadCompanySection(const std::string& sectionName) { return LoadSection(sectionName, false); }

namespace {

int LoadFromProfile(const ProfileFile& profile, const std::string& sectionName, bool requested) {
  ctx.StatementTemplate.clear();
  Trace("Str GetIniValues\n");

  // Each line adds a blank and its text; the first empty line adds its blank
  // and ends the statement. A section using every key up to SQL999 ends
  // there as if the next line were empty.
  for (int line = 1;; ++line) {
    const std::string key = NumberedKey("SQL", line, 3);
    const std::string text = line <= kLastStatementLine ? profile.ReadText(sectionName, key, "") : "";
    if (line <= kLastStatementLine) {
      if (profile.WasCut(sectionName, key)) {
        Warn(sectionName,
             FormatMessageText("%s auf %i Bytes gekuerzt", {key, static_cast<int64_t>(ProfileFile::kMaxValueBytes)}));
      }
      if (const size_t replaced = profile.ReplacedCharacters(sectionName, key); replaced > 0) {
        Warn(sectionName, FormatMessageText("%s: %i Zeichen ohne Windows-1252-Entsprechung durch '?' ersetzt",
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
    ctx.Field(slot).Name = profile.ReadText(sectionName, SlotKey("FELD", slot), "");
    UpperCaseAscii(ctx.Field(slot).Name);
  }
  if (ctx.Field(1).Name == "0") return kExitSectionDisabled;

  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    ctx.Field(slot).Type = profile.ReadText(sectionName, SlotKey("FTYP", slot), "");
    UpperCaseAscii(ctx.Field(slot).Type);
    ctx.Field(slot).Kind = FieldKindOf(ctx.Field(slot).Type);
  }
  for (int slot = 1; slot <= kFieldSlots; ++slot) {
    const std::string key = SlotKey("FLEN", slot);
    int32_t length = profile.ReadInteger(sectionName, key, 0);
    if (length > kMaxFieldLength) {
      Warn(sectionName, FormatMessageText("%s = %i ist groesser als 65535 und ungueltig, Feldlaenge 0", {key, length}));
      length = 0;
    }
    ctx.Field(slot).Length = length;
  }
  if (requested) WarnSlotLayout(profile, sectionName);

  Trace("End GetIniValues\n");
  return 0;
}

}  // namespace

}  // namespace qj
