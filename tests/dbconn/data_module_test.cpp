// The data module's stored settings, how its parameter lines name the
// connection, and the engine error's message.

#include "dbconn/data_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbconn/db_error.h"
#include "dbconn/odbc_engine.h"

namespace {

using qj::ConnectionStringWithLogin;
using qj::ConnectTargetFromParams;

TEST(DataModuleTest, StoredSettings) {
  qj::Tdm1 dm;
  EXPECT_FALSE(dm.OldCreateOrder);
  EXPECT_EQ(dm.VELMORANT.Name, "VELMORANT");
  EXPECT_EQ(dm.VELMORANT.AliasName, "VELMORANT");
  EXPECT_EQ(dm.VELMORANT.DatabaseName, "VXDB");
  EXPECT_EQ(dm.VELMORANT.SessionName, "Default");
  EXPECT_FALSE(dm.VELMORANT.LoginPrompt);
  EXPECT_EQ(dm.Qry1.DatabaseName, "VXDB");
  const std::vector<std::string> params = {
      "DATABASE NAME=",      "USER NAME=velmorant", "ODBC DSN=VELMORANT",
      "OPEN MODE=READ/WRITE", "SCHEMA CACHE SIZE=8", "SQLQRYMODE=",
      "LANGDRIVER=",          "SQLPASSTHRU MODE=SHARED AUTOCOMMIT",
      "SCHEMA CACHE TIME=-1", "MAX ROWS=-1",         "BATCH COUNT=200",
      "ENABLE SCHEMA CACHE=FALSE", "SCHEMA CACHE DIR=", "ENABLE BCD=FALSE",
      "ROWSET SIZE=20",       "BLOBS TO CACHE=64",   "PASSWORD=korbalest"};
  EXPECT_EQ(dm.VELMORANT.Params, params);
  // Both components start closed.
  EXPECT_FALSE(dm.VELMORANT.Connected());
  EXPECT_FALSE(dm.Qry1.Prepared());
  EXPECT_EQ(dm.Qry1.FieldCount(), 0);
  EXPECT_TRUE(dm.VELMORANT.Warnings().empty());
}

TEST(DataModuleTest, QueryThatIsNotOpenHasNoRow) {
  qj::Tdm1 dm;
  dm.Qry1.Close();  // no effect when closed
  EXPECT_THROW(dm.Qry1.FindFirst(), qj::EDatabaseError);
  try {
    dm.Qry1.Field(0);
    FAIL() << "no error";
  } catch (const qj::EDatabaseError& e) {
    EXPECT_EQ(e.Records().at(0).SqlState, "24000");
  }
  EXPECT_FALSE(dm.VELMORANT.Connected());
}

TEST(ConnectTargetTest, DataSourceUserAndPassword) {
  qj::Tdm1 dm;
  qj::ConnectTarget t = ConnectTargetFromParams(dm.VELMORANT.Params, "ALIAS");
  EXPECT_FALSE(t.connectionString);
  EXPECT_EQ(t.dataSource, "VELMORANT");
  EXPECT_EQ(t.user, "velmorant");
  EXPECT_EQ(t.password, "korbalest");

  // Missing or empty "ODBC DSN=": the alias names the data source.
  t = ConnectTargetFromParams({"ODBC DSN=", "USER NAME=u"}, "ALIAS");
  EXPECT_EQ(t.dataSource, "ALIAS");
  EXPECT_EQ(t.password, "");
  t = ConnectTargetFromParams({"odbc dsn=x"}, "ALIAS");
  EXPECT_EQ(t.dataSource, "ALIAS");

  t = ConnectTargetFromParams({"ODBC DSN=DRIVER=SQLite3;Database=/a.db", "PASSWORD=p"}, "ALIAS");
  EXPECT_TRUE(t.connectionString);
  EXPECT_EQ(t.dataSource, "DRIVER=SQLite3;Database=/a.db");
  t = ConnectTargetFromParams({"ODBC DSN=", "USER NAME=u"}, "DRIVER=SQLite3");
  EXPECT_TRUE(t.connectionString);
}

TEST(ConnectTargetTest, LoginAddedToAConnectionString) {
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X;Server=s", "u", "p"), "DRIVER=X;Server=s;UID=u;PWD=p");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X;", "u", "p"), "DRIVER=X;UID=u;PWD=p");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", "", ""), "DRIVER=X");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", "", "p"), "DRIVER=X;PWD=p");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", "a;b", "p}w{"), "DRIVER=X;UID={a;b};PWD={p}}w{}");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", " u", "p=q"), "DRIVER=X;UID={ u};PWD=p=q");
}

TEST(DatabaseErrorTest, MessageListsEveryRecord) {
  const qj::EDatabaseError one({{"42S02", 1, "no such table: x"}});
  EXPECT_EQ(std::string(one.what()), "[42S02] no such table: x");
  const qj::EDatabaseError two({{"HY000", 0, "first\nline"}, {"01000", 7, "second"}});
  EXPECT_EQ(std::string(two.what()), "[HY000] first\nline\n[01000] second");
  EXPECT_EQ(two.Records().size(), 2u);
  EXPECT_EQ(two.Records()[1].NativeError, 7);
}

TEST(DatabaseErrorTest, WarningLogKeepsABoundedNumber) {
  qj::WarningLog log;
  std::vector<qj::DiagnosticRecord> many(qj::WarningLog::kMaxKept + 5, qj::DiagnosticRecord{"01000", 0, "w"});
  many.front().Text = "first";
  log.Add(many);
  EXPECT_EQ(log.Records().size(), qj::WarningLog::kMaxKept);
  EXPECT_EQ(log.Records().front().Text, "first");
  EXPECT_EQ(log.Dropped(), 5u);
}

}  // namespace
