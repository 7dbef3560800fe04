// Loading a section of the query definition file that lies beside the running
// test binary, and the path rule of that file.

#include "querydef/query_definition.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "driver/console.h"
#include "driver/run_context.h"
#include "platform/code_page.h"
#include "platform/executable_path.h"
#include "support/run_context_fixture.h"
#include "support/test_support.h"

namespace {

using qj::ctx;
using qj::GetIniValues;

TEST(QueryIniPath, ExtensionIsReplacedOnlyInTheFileName) {
  EXPECT_EQ(qj::QueryIniPath("/opt/dnl/qjsqlexe", "ORA"), "/opt/dnl/qjsqlexe.ORA.INI");
  EXPECT_EQ(qj::QueryIniPath("/opt/dnl/qjsqlexe.bin", "ORA"), "/opt/dnl/qjsqlexe.ORA.INI");
  EXPECT_EQ(qj::QueryIniPath("/opt/tools.v2/qjsqlexe", "ORA"), "/opt/tools.v2/qjsqlexe.ORA.INI");
  EXPECT_EQ(qj::QueryIniPath("/opt/tools.v2/qj.x.exe", ""), "/opt/tools.v2/qj.x..INI");
  EXPECT_EQ(qj::QueryIniPath("/a/b\\c:d", " ora "), "/a/b\\c:d. ora .INI");
  EXPECT_EQ(qj::QueryIniPath("/a/.hidden", "X"), "/a/.X.INI");
}

class GetIniValuesTest : public qjtest::RunContextTest {
 protected:
  void SetUp() override {
    ctx.DbSys = "QDTEST" + std::to_string(getpid());
    path_ = qj::QueryIniPath(qj::ExecutablePath(), ctx.DbSys);
    qj::Console::CaptureForTest(&out_, &err_);
  }
  void TearDown() override {
    qj::Console::CaptureForTest(nullptr, nullptr);
    std::remove(path_.c_str());
  }
  // The statement template a section loads to (its exit code must be 0).
  std::string Statement(const std::string& section) {
    EXPECT_EQ(GetIniValues(section), 0) << section;
    return ctx.StatementTemplate;
  }
  std::string Field(int slot) {
    const qj::FieldDefinition& f = ctx.Field(slot);
    return f.Name + "|" + f.Type + "|" + std::to_string(f.Length);
  }

  std::string path_;
  std::string out_, err_;
};

TEST_F(GetIniValuesTest, StatementLinesAreJoinedUpToTheFirstEmptyOne) {
  std::string ini =
      "[A]\nSQL001=SELECT a\nSQL002=FROM t\nSQL004=never read\n[B]\nSQL001=SELECT b\nSQL002=   \nSQL003=never read\n"
      "[C]\nSQL002=never read\n[D]\nsql001=  x  \nSql002=\"  y  \"\n"
      "[LONG]\nSQL001=" + std::string(3000, 'a') + "\nSQL002=b\n[FULL]\n";
  std::string full;
  for (int n = 1; n <= 999; ++n, full += " L") ini += "SQL" + std::string(n < 10 ? "00" : n < 100 ? "0" : "") + std::to_string(n) + "=L\n";
  qjtest::WriteBytes(path_, ini + "SQL1000=never read\n");
  EXPECT_EQ(Statement("A"), " SELECT a FROM t ");
  EXPECT_EQ(Statement("B"), " SELECT b ");
  EXPECT_EQ(Statement("C"), " ");
  EXPECT_EQ(Statement("MISSING"), " ");
  EXPECT_EQ(Statement("D"), " x   y   ");
  EXPECT_EQ(Statement("LONG"), " " + std::string(2047, 'a') + " b ");
  EXPECT_EQ(Statement("FULL"), full + " ");
  EXPECT_EQ(out_, "");
  EXPECT_EQ(err_,
            "qjsqlexe: Sektion MISSING fehlt in " + path_ + "\n"
            "qjsqlexe: Warnung: Sektion LONG: SQL001 auf 2047 Bytes gekuerzt\n"
            "qjsqlexe: Warnung: Sektion FULL: Anweisung reicht bis SQL999, weitere Zeilen werden nicht gelesen\n");
}

TEST_F(GetIniValuesTest, LengthsBeyond65535AreRefused) {
  qjtest::WriteBytes(path_, "[F]\nSQL001=SELECT 1\nFLEN01=65535\nFLEN02=65536\nFLEN03=$7FFFFFFF\n");
  EXPECT_EQ(Statement("F"), " SELECT 1 ");
  EXPECT_EQ(Field(1), "||65535");
  EXPECT_EQ(Field(2), "||0");
  EXPECT_EQ(Field(3), "||0");
  EXPECT_EQ(err_,
            "qjsqlexe: Warnung: Sektion F: FLEN02 = 65536 ist groesser als 65535 und ungueltig, Feldlaenge 0\n"
            "qjsqlexe: Warnung: Sektion F: FLEN03 = 2147483647 ist groesser als 65535 und ungueltig, Feldlaenge 0\n");
}

// A file written in UTF-8, with or without byte order mark, holds the same
// Windows-1252 texts as one written in Windows-1252.
TEST_F(GetIniValuesTest, Utf8FilesGiveWindows1252Texts) {
  const std::string section = "[K\xC3\xB6ln]\nSQL001=WHERE city = 'K\xC3\xB6ln \xE2\x82\xAC'\nFELD01=gr\xC3\xB6\xC3\x9F" "e\nFTYP01=char\nFLEN01=4\n";
  for (const std::string& file : {section, "\xEF\xBB\xBF" + section, qj::Utf8ToCp1252(section)}) {
    qjtest::WriteBytes(path_, file);
    EXPECT_EQ(Statement("K\xF6ln"), " WHERE city = 'K\xF6ln \x80' ");
    EXPECT_EQ(Field(1), "GR\xF6\xDF" "E|CHAR|4");
  }
  EXPECT_EQ(err_, "");
  // A statement line with characters Windows-1252 cannot hold is warned about.
  qjtest::WriteBytes(path_, "[S]\nSQL001=WHERE city = '\xC5\x81\xC3\xB3" "d\xC5\xBA'\nSQL002=AND x = '?'\n");
  EXPECT_EQ(Statement("S"), " WHERE city = '?\xF3" "d?' AND x = '?' ");
  EXPECT_EQ(err_, "qjsqlexe: Warnung: Sektion S: SQL001: 2 Zeichen ohne Windows-1252-Entsprechung durch '?' ersetzt\n");
}

TEST_F(GetIniValuesTest, FieldsAreUpperCasedInAsciiAndLengthsUseTheIntegerRead) {
  qjtest::WriteBytes(path_, "[F]\nSQL001=SELECT 1\nFELD01=kst\nFTYP01=char\nFLEN01=0x1F\nFELD02=m\xFCller\nFTYP02=dec\n"
                            "FLEN02=12 comment\nFELD30=last\nFTYP30=txt\nFLEN30=-5\nFLEN03=7\n");
  ctx.Field(3).Name = "stale";
  EXPECT_EQ(Statement("F"), " SELECT 1 ");
  EXPECT_EQ(Field(1), "KST|CHAR|31");
  EXPECT_EQ(Field(2), "M\xFCLLER|DEC|0");
  EXPECT_EQ(Field(3), "||7");
  EXPECT_EQ(Field(30), "LAST|TXT|-5");
}

TEST_F(GetIniValuesTest, FieldOneNamedZeroStopsBeforeTypesAndLengths) {
  qjtest::WriteBytes(path_, "[OFF]\nSQL001=SELECT 1\nFELD01=0\nFELD02=b\nFTYP01=CHAR\nFLEN01=5\n[NONAME]\nFELD02=b\n");
  ctx.TraceMode = true;
  EXPECT_EQ(GetIniValues("OFF"), 4);
  EXPECT_EQ(Field(1), "0||0");
  EXPECT_EQ(Field(2), "B||0");
  EXPECT_EQ(out_, "Str GetIniValues\n  >>>>> SQL-Statement <<<<<\n  ' SELECT 1 '\n");
  out_.clear();
  EXPECT_EQ(Statement("NONAME"), " ");
  EXPECT_EQ(out_, "Str GetIniValues\n  >>>>> SQL-Statement <<<<<\n  ' '\nEnd GetIniValues\n");
}

TEST_F(GetIniValuesTest, MissingFileLoadsSingleBlankAndResetEmptiesEverySlot) {
  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) ctx.Field(slot) = {"N", "T", slot};
  EXPECT_EQ(Statement("ANY"), " ");
  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) EXPECT_EQ(ctx.Field(slot).Name, "") << slot;
  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) ctx.Field(slot) = {"N", "T", slot};
  ctx.RecordCount = 9;
  qj::ResetDefinitions();
  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) EXPECT_EQ(Field(slot), "||0") << slot;
  EXPECT_EQ(ctx.RecordCount, 0);
  EXPECT_EQ(ctx.StatementTemplate, " ");
}

// The type text is parsed once, at the load: after the upper-casing, byte for
// byte, so a blank or a longer word leaves the slot without a kind.
TEST_F(GetIniValuesTest, FieldKindsAreParsedFromTheUpperCasedType) {
  qjtest::WriteBytes(path_, "[K]\nSQL001=SELECT 1\nFELD01=a\nFTYP01=Char\nFELD02=b\nFTYP02=dec\nFELD03=c\nFTYP03=TXT\n"
                            "FELD04=d\nFTYP04=CHAR X\nFELD05=e\nFTYP05=DECIMAL\nFELD06=f\n");
  for (int slot = 1; slot <= qj::kFieldSlots; ++slot) ctx.Field(slot).Kind = qj::FieldKind::Txt;
  qj::ResetDefinitions();
  EXPECT_EQ(Statement("K"), " SELECT 1 ");
  const qj::FieldKind expected[] = {qj::FieldKind::Char, qj::FieldKind::Dec, qj::FieldKind::Txt,
                                    qj::FieldKind::Unknown, qj::FieldKind::Unknown, qj::FieldKind::Unknown};
  for (int slot = 1; slot <= 6; ++slot) EXPECT_EQ(ctx.Field(slot).Kind, expected[slot - 1]) << slot;
  for (int slot = 7; slot <= qj::kFieldSlots; ++slot) EXPECT_EQ(ctx.Field(slot).Kind, qj::FieldKind::Unknown) << slot;
}

}  // namespace
