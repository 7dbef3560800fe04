// The demo's files (demo.sql, the query definition file and the converted ini
// file templates, native and ODBC) give the downloads that README.md shows.

#include "support/e2e_fixture.h"

namespace {

using qjtest::Cp1252;
using qjtest::ReadBytes;

TEST(Demo, DownloadsOfTheWorkedExample) {
  const std::string demo = std::string(QJ_SOURCE_DIR) + "/demo/";
  qjtest::E2eInstall install;
  qjtest::SqliteExec(install.DbFile(), ReadBytes(demo + "demo.sql"));
  install.WriteQueryIni(ReadBytes(demo + "qjsqlexe.SQLITE.INI"));
  std::string converted = ReadBytes(demo + "QJDNL00P.TXT.in");
  qjtest::WriteBytes(install.ConvertedIniPath(), converted.replace(converted.find("@DBFILE@"), 8, install.DbFile()));

  auto r = install.Run({"QJDNL31P", "ZutCtrl", "dnl/qjdnl31p.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "330 Saetze kopiert in Datei dnl/qjdnl31p.txt \n");
  const std::string badges = ReadBytes(install.Dnl("qjdnl31p.txt"));
  ASSERT_EQ(badges.size(), 330u * 54);
  EXPECT_EQ(badges.substr(3 * 54, 54), Cp1252("010000001003Groß                MARIA       22.04.2020"));

  r = install.Run({"QJDNL32P", "ZutCtrl", "dnl/qjdnl32p.txt", "0"}, "de_DE.UTF-8");
  EXPECT_EQ(r.out, "315 Saetze kopiert in Datei dnl/qjdnl32p.txt \n");
  r = install.Run({"QJDNL32P", "Pforte2", "dnl/qjdnl32p.txt", "0"}, "de_DE.UTF-8");
  EXPECT_EQ(r.out, "105 Saetze kopiert in Datei dnl/qjdnl32p.txt \n");
  const std::string bookings = ReadBytes(install.Dnl("qjdnl32p.txt"));
  ASSERT_EQ(bookings.size(), 420u * 59);
  EXPECT_EQ(bookings.substr(0, 59), Cp1252("00001000Löffler             00015,2401.11.2026 09:14:000300"));
  // A midnight booking shows the date alone.
  EXPECT_EQ(bookings.substr(6 * 59, 59), Cp1252("00001002KRÄMER              00017,0908.11.2026         0200"));

  // The ODBC template reaches the same file through the SQLite3 driver.
  converted = ReadBytes(demo + "QJDNL00P.ODBC.TXT.in");
  qjtest::WriteBytes(install.ConvertedIniPath(), converted.replace(converted.find("@DBFILE@"), 8, install.DbFile()));
  r = install.Run({"QJDNL31P", "ZutCtrl", "dnl/odbc31p.txt", "1"}, "de_DE.UTF-8");
  EXPECT_EQ(r.out, "330 Saetze kopiert in Datei dnl/odbc31p.txt \n");
  EXPECT_EQ(ReadBytes(install.Dnl("odbc31p.txt")), badges);

  r = install.Run({"QJDNL33P", "ZutCtrl", "dnl/qjdnl33p.txt", "1"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_FALSE(qjtest::FileExists(install.Dnl("qjdnl33p.txt")));
}

}  // namespace
