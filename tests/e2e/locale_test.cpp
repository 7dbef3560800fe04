// A LOCALE record in the converted ini file fixes the number, date and sort
// forms of every download of its directory, whatever the caller's locale.

#include "support/e2e_fixture.h"

namespace {

using qjtest::E2eInstall;
using qjtest::IniSection;
using qjtest::ReadBytes;
using qjtest::WriteBytes;

class LocaleRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    install.UseSqlite(
        "CREATE TABLE t (name VARCHAR(5), d DATE, r DOUBLE);\n"
        "INSERT INTO t VALUES ('b', '2026-11-01', 12.5), ('A', '2026-03-01', 1.25);\n");
    install.WriteQueryIni(IniSection("GETFIR1", {"SELECT 1"}, {{1, "ONE", "CHAR", "1"}}) +
                          IniSection("FORMS", {"SELECT name, d, r FROM t"},
                                     {{1, "NAME", "CHAR", "1"}, {2, "D", "CHAR", "10"}, {3, "R", "CHAR", "5"}}));
  }
  void AddLocaleRecord(const std::string& entry) const {
    WriteBytes(install.ConvertedIniPath(), ReadBytes(install.ConvertedIniPath()) + "VELMORANT.INI;DATENBANK;Sprache\n" + entry);
  }
  std::string Download(const std::string& locale, const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> args{"FORMS", "T1", "dnl/out.txt", "1"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = install.Run(args, locale);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return ReadBytes(install.Dnl("out.txt"));
  }

  E2eInstall install;
};

TEST_F(LocaleRecord, FixesEveryCategoryAheadOfTheEnvironment) {
  const std::string german = "A01.03.20261,25 b01.11.202612,5 ";
  // Without the record the environment decides, as before.
  EXPECT_EQ(Download("de_DE.UTF-8"), german);
  AddLocaleRecord("5;LOCALE;de_DE\n");
  for (const std::string locale : {"", "C", "en_US.UTF-8"}) {
    SCOPED_TRACE(locale);
    EXPECT_EQ(Download(locale), german);
  }
  // Also ahead of LC_ALL and of each category's own variable.
  qjtest::RunOptions options;
  options.env["LC_ALL"] = "en_US.UTF-8";
  options.env["LC_TIME"] = "en_US.UTF-8";
  auto r = install.Run({"FORMS", "T1", "dnl/out.txt", "1", "/D"}, "", options);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ReadBytes(install.Dnl("out.txt")), german);
  // The trace names the locale in force and where it came from.
  EXPECT_EQ(r.err, "qjsqlexe: Gebietsschema de_DE (LOCALE in " + install.ConvertedIniPath() + ")\n");
  EXPECT_EQ(r.out.find("Gebietsschema"), std::string::npos);
}

// The record is taken only from its own key; a record that answers every
// lookup does not become the locale, and the database values stay found.
TEST_F(LocaleRecord, OnlyItsOwnRecordCountsAndRootStaysWithoutIt) {
  const std::string root = "A2026-03-011.25 b2026-11-0112.5 ";
  EXPECT_EQ(Download("C"), root);
  AddLocaleRecord("5;LOCALE; de_DE.UTF-8 \n");
  EXPECT_EQ(Download(""), "A01.03.20261,25 b01.11.202612,5 ");
  WriteBytes(install.ConvertedIniPath(), ReadBytes(install.ConvertedIniPath()) + "VELMORANT.INI;DATENBANK;Leer\n5;LOCALE;\n");
  EXPECT_EQ(Download("C"), "A01.03.20261,25 b01.11.202612,5 ") << "the first LOCALE record counts";
}

}  // namespace
