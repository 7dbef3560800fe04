#include "dbconn/set_db_usr.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "dbconn/connect_login.h"
#include "dbconn/converted_ini.h"
#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/console_texts.h"
#include "driver/database_text.h"
#include "driver/run_context.h"
#include "driver/result_codes.h"
#include "platform/directory_separators.h"
#include "platform/locale_env.h"
#include "platform/text_util.h"

namespace qj {

namespace {

constexpr std::string_view kConvertedIniName = "QJDNL00P.TXT";

constexpr const char* kParameterKeys[] = {"DB_SYSTEM", "DATABASE", "LOGIN", "PASS"};

// Reads the converted ini file. Only a readable file counts: a directory (or
// anything else) of that name does not. On failure `why` says what is wrong.
bool ReadConvertedIni(const std::string& path, FileBytes& file, std::string& why) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    why = error == ENOENT ? "nicht vorhanden" : std::strerror(error);
    // A target in a directory that is not there looks like a misplaced file otherwise.
    const std::string directory = DirectoryPart(path, DirectorySeparators());
    if (error == ENOENT && !directory.empty() && ::stat(directory.c_str(), &info) != 0) {
      why += ", das Verzeichnis " + AbsolutePath(directory) + " fehlt";
    }
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    why = "ist ein Verzeichnis";
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    why = "ist keine Datei";
    return false;
  }
  errno = 0;
  file = ReadWholeFile(path);
  if (!file.opened) {
    why = std::string("nicht lesbar: ") + std::strerror(errno);
    return false;
  }
  return true;
}

std::string LookUp(const ConvertedIniFile& file, const char* key) {
  return file.Find("", key, 0).Value;
}


}  // namespace

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

std::string ConvertedIniPath(const std::string& targetFile) {
  return DirectoryPart(targetFile, DirectorySeparators()) + std::string(kConvertedIniName);
}

int SetDbUsr() {
  Trace("Str SetDbUsr\n");
  if (!ctx.dm1) throw std::logic_error("SetDbUsr: the data module has not been created");

  const std::string path = ConvertedIniPath(ctx.TargetFile);
  FileBytes bytes;
  std::string why;
  if (!ReadConvertedIni(path, bytes, why)) {
    Print("Konvertierte Ini-Datei nicht gefunden");
    ErrorLine("Konvertierte Ini-Datei " + AbsolutePath(path) + " " + why);
    return kExitConvertedIniMissing;
  }
  // The file is read once; the lookups work on its records.
  const ConvertedIniFile file = ConvertedIniFile::Parse(bytes.bytes);
  if (const MisshapenLine* line = file.FirstMisshapen()) {
    ErrorLine("Warnung: " + AbsolutePath(path) + " Zeile " + std::to_string(line->LineNumber) + ": '" + DatabaseText(line->Text) +
            (line->IsHeader ? "' ist keine Kopfzeile (Datei;Gruppe;Text)" : "' ist keine Eintragszeile (Nummer;Schluessel;Wert)") +
            ", die Zeilen ab hier sind falsch gepaart");
  }

  // A LOCALE record fixes the locale of every download of this directory.
  // Only its own record answers: one that matches every lookup (an empty
  // header text, number 0) must not make a database value the locale.
  if (const ConvertedRecord* locale = file.FindKey("LOCALE")) {
    FixLocale(locale->Value, "LOCALE in " + AbsolutePath(path));
  }
  if (ctx.TraceMode) ErrorLine("Gebietsschema " + LocaleSummary());

  ctx.DbSys = LookUp(file, "DB_SYSTEM");
  const std::string dbName = LookUp(file, "DATABASE");
  const std::string dbUsr = LookUp(file, "LOGIN");
  const std::string dbPwd = LookUp(file, "PASS");

  Trace(" DB-Informationen:\n");
  Trace("  DbSys = '%s'\n", {DatabaseText(ctx.DbSys)});
  Trace("  DbName = '%s'\n", {DatabaseText(MaskedConnectionString(dbName))});
  Trace("  DbUsr = '%s'\n", {DatabaseText(dbUsr)});
  // The password is never shown in clear.
  Trace("  DbPwd = '%s'\n", {dbPwd.empty() ? "" : "********"});

  if (dbUsr.empty() || dbPwd.empty() || ctx.DbSys.empty() || dbName.empty()) {
    ShowErrorFrame({"Fehler beim Ermitteln der Datenbankparameter\n", "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"});
    const std::string* values[] = {&ctx.DbSys, &dbName, &dbUsr, &dbPwd};
    std::string missing;
    int count = 0;
    for (size_t i = 0; i < 4; ++i) {
      if (!values[i]->empty()) continue;
      if (count++ > 0) missing += ", ";
      missing += kParameterKeys[i];
    }
    ErrorLine(AbsolutePath(path) + ": Datenbankparameter " + missing + (count > 1 ? " fehlen oder sind leer" : " fehlt oder ist leer"));
    return kExitDbParameterMissing;
  }

  // Login and password are appended to an ODBC connection string (a DATABASE
  // value holding "="); a data source name and the native engines get them as
  // values of their own.
  const EngineKind engine = EngineKindOf(dbName);
  if (engine == EngineKind::Odbc && dbName.find('=') != std::string::npos) {
    const std::string unsafe = UnsafeLoginValue(BraceQuotingOfConnection(dbName), dbUsr, dbPwd);
    if (!unsafe.empty()) {
      const std::string line = "Der Wert von " + unsafe + " ist fuer den ODBC-Treiber nicht zulaessig\n";
      ShowErrorFrame({line, "(';', '{', '}' oder Leerzeichen am Anfang oder Ende)\n",
                      "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"});
      ErrorLine(AbsolutePath(path) + ": der Wert von " + unsafe +
              " enthaelt ';', '{', '}' oder Leerzeichen am Rand, die der ODBC-Treiber nicht sicher annimmt");
      return kExitDbParameterMissing;
    }
  }

  // Each line is tested in its current form, so a line replaced by an earlier
  // test is tested again in its new form.
  TDatabase& database = ctx.dm1->VELMORANT;
  for (size_t i = 0; i < database.Params.size(); ++i) {
    std::string& line = database.Params[i];
    if (StartsWith(line, "USER NAME=")) line = "USER NAME=" + dbUsr;
    if (StartsWith(line, "PASSWORD=")) line = "PASSWORD=" + dbPwd;
    if (StartsWith(line, "ODBC DSN=")) line = "ODBC DSN=" + dbName;
  }
  database.AliasName = dbName;

  Trace("  Datenbankzugriff = '%s'\n", {EngineName(engine)});
  Trace("End SetDbUsr\n");
  return 0;
}

}  // namespace qj
