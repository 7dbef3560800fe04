#include "dbconn/set_db_usr.h"

#include <sys/stat.h>

#include <stdexcept>
#include <string_view>

#include "dbconn/connect_login.h"
#include "dbconn/converted_ini.h"
#include "dbconn/data_module.h"
#include "driver/console.h"
#include "driver/console_texts.h"
#include "driver/database_text.h"
#include "driver/run_context.h"
#include "driver/result_codes.h"
#include "platform/directory_separators.h"
#include "platform/text_util.h"

namespace qj {

namespace {

constexpr std::string_view kConvertedIniName = "QJDNL00P.TXT";

// Only a file counts: a directory (or anything else) of that name does not.
bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string LookUp(const char* key, const std::string& path) {
  LookupConvertedValue("", key, 0, path);
  return ctx.LookupResult.Value;
}


}  // namespace

std::string ConvertedIniPath(const std::string& targetFile) {
  return DirectoryPart(targetFile, DirectorySeparators()) + std::string(kConvertedIniName);
}

int SetDbUsr() {
  Trace("Str SetDbUsr\n");
  if (!ctx.dm1) throw std::logic_error("SetDbUsr: the data module has not been created");

  const std::string path = ConvertedIniPath(ctx.TargetFile);
  if (!FileExists(path)) {
    Print("Konvertierte Ini-Datei nicht gefunden");
    return kExitConvertedIniMissing;
  }

  ctx.DbSys = LookUp("DB_SYSTEM", path);
  const std::string dbName = LookUp("DATABASE", path);
  const std::string dbUsr = LookUp("LOGIN", path);
  const std::string dbPwd = LookUp("PASS", path);

  Trace(" DB-Informationen:\n");
  Trace("  DbSys = '%s'\n", {DatabaseText(ctx.DbSys)});
  Trace("  DbName = '%s'\n", {DatabaseText(MaskedConnectionString(dbName))});
  Trace("  DbUsr = '%s'\n", {DatabaseText(dbUsr)});
  // The password is never shown in clear.
  Trace("  DbPwd = '%s'\n", {dbPwd.empty() ? "" : "********"});

  if (dbUsr.empty() || dbPwd.empty() || ctx.DbSys.empty() || dbName.empty()) {
    ShowErrorFrame({"Fehler beim Ermitteln der Datenbankparameter\n", "Quelle: '..\\..\\FILES\\VELMORANT.INI'\n"});
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
