// The data module's engine: how its parameter lines name the connection, its
// errors, and real databases: SQLite through the SQLite3 ODBC driver and
// PostgreSQL through "PostgreSQL Unicode", each with bound block fetches,
// SQLGetData only, and (PostgreSQL) one bound row per fetch; and both through
// their native engines, which must give the values the ODBC path gives.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbconn/data_module.h"
#include "dbconn/db_error.h"
#include "dbconn/odbc_engine.h"
#include "dbconn/plain_value.h"
#include "platform/text_util.h"
#include "support/odbc_env.h"
#include "support/test_support.h"

namespace {

using qj::EDatabaseError;
using qj::ValueKind;

const std::string kMuellerEuro = "M\xFCller \x80";                     // Windows-1252
const std::string kMuellerEuroUtf8 = "M\xC3\xBCller \xE2\x82\xAC";  // UTF-8, for the setup

// A value as one text: kind letter and its fields.
std::string Show(const qj::ColumnValue& v) {
  char b[80];
  if (v.kind == ValueKind::Float) std::snprintf(b, sizeof b, "F%.15g", v.real);
  if (v.kind == ValueKind::Date) std::snprintf(b, sizeof b, "D%04d-%02d-%02d", v.year, v.month, v.day);
  if (v.kind == ValueKind::Time) std::snprintf(b, sizeof b, "T%02d:%02d:%02d", v.hour, v.minute, v.second);
  if (v.kind == ValueKind::Timestamp) {
    std::snprintf(b, sizeof b, "P%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour, v.minute, v.second);
  }
  return v.kind == ValueKind::Null ? "NULL" : v.kind == ValueKind::Text ? "S" + v.bytes
         : v.kind == ValueKind::Integer ? "I" + std::to_string(v.integer) : std::string(b);
}

std::string Target(const std::vector<std::string>& params, const std::string& alias) {
  const qj::ConnectTarget t = qj::ConnectTargetFromParams(params, alias);
  return (t.connectionString ? "string:" : "dsn:") + t.dataSource + "|" + t.user + "|" + t.password;
}

TEST(ConnectTargetTest, ParameterLinesNameTheConnection) {
  EXPECT_EQ(Target(qj::Tdm1().VELMORANT.Params, "ALIAS"), "dsn:VELMORANT|velmorant|korbalest");
  // Missing or empty "ODBC DSN=": the alias names the data source.
  EXPECT_EQ(Target({"ODBC DSN=", "USER NAME=u"}, "ALIAS"), "dsn:ALIAS|u|");
  EXPECT_EQ(Target({"odbc dsn=x"}, "ALIAS"), "dsn:ALIAS||");
  EXPECT_EQ(Target({"ODBC DSN=DRIVER=SQLite3;Database=/a.db", "PASSWORD=p"}, "A"), "string:DRIVER=SQLite3;Database=/a.db||p");
  EXPECT_EQ(Target({"ODBC DSN="}, "DRIVER=SQLite3"), "string:DRIVER=SQLite3||");
  using qj::ConnectionStringWithLogin;
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X;Server=s", "u", "p"), "DRIVER=X;Server=s;UID=u;PWD=p");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X;", "u", "p"), "DRIVER=X;UID=u;PWD=p");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", "", ""), "DRIVER=X");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", "", "p"), "DRIVER=X;PWD=p");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", "a;b", "p}w{"), "DRIVER=X;UID={a;b};PWD={p}}w{}");
  EXPECT_EQ(ConnectionStringWithLogin("DRIVER=X", " u", "p=q"), "DRIVER=X;UID={ u};PWD=p=q");
}

TEST(DatabaseErrorTest, MessageListsEveryRecord) {
  EXPECT_EQ(std::string(EDatabaseError({{"HY000", 0, "first\nline"}, {"01000", 7, "second"}}).what()),
            "[HY000] first\nline\n[01000] second");
}

TEST(DatabaseErrorTest, QueryThatIsNotOpenHasNoRow) {
  qj::Tdm1 dm;  // a query that is not open has no row
  EXPECT_THROW(dm.Qry1.FindFirst(), EDatabaseError);
  EXPECT_THROW(dm.Qry1.Field(0), EDatabaseError);
}

// A server that takes the connection but never answers: the URI's own
// connect_timeout ends the attempt as a connection error.
TEST(PostgresNativeConnect, TheUrisOwnTimeoutEndsASilentServer) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  qj::TDatabase db;
  for (std::string& line : db.Params) {
    if (qj::StartsWith(line, "ODBC DSN=")) {
      line = "ODBC DSN=postgresql://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x?connect_timeout=2";
    }
  }
  qj::TQuery query(db);
  query.AddSql("SELECT 1");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(query.Prepare(), qj::EConnectionError);
  // The URI's 2 seconds, far from the 60 the engine sets otherwise.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_FALSE(db.Connected());
  ::close(listener);
}

class EngineTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    if (Mode() == "getdata") db_->Fetching.bindColumns = false;
    if (Mode() == "rowwise") db_->Fetching.blockFetch = false;
    qjtest::UseTestOdbcConfig();
    if (IsMaria()) QJ_REQUIRE_MARIA_OR_SKIP(maria_);
    if (IsPg()) QJ_REQUIRE_PG_OR_SKIP(pg_);
    if (IsServer()) {
      table_ = "qj_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
      for (char& c : table_) c = c == '/' ? '_' : c;
      Setup("DROP TABLE IF EXISTS " + table_ + ";");
    } else {
      qjtest::SqliteExec(dbFile_, "CREATE TABLE keep_file(x INTEGER);");
    }
    Param("ODBC DSN=", OdbcDataSource());
    if (IsNative()) Param("ODBC DSN=", IsPg() ? pg_.Uri() : "file:" + dbFile_);
    Param("USER NAME=", IsPg() ? pg_.user : IsMaria() ? maria_.user : "");
    Param("PASSWORD=", IsPg() ? pg_.password : IsMaria() ? maria_.password : "");
  }
  void TearDown() override {
    query_.reset();  // the open connection holds its read locks until it goes away
    db_.reset();
    if ((IsPg() && pg_.Available()) || (IsMaria() && maria_.Available())) Setup("DROP TABLE IF EXISTS " + table_ + ";");
  }

  bool IsPg() const { return qj::StartsWith(GetParam(), "pg"); }
  bool IsMaria() const { return qj::StartsWith(GetParam(), "maria"); }
  bool IsServer() const { return IsPg() || IsMaria(); }
  bool IsNative() const { return Mode() == "native"; }
  std::string OdbcDataSource() const {
    return IsPg()      ? pg_.ConnectionString() + ";UseDeclareFetch=1;Fetch=1000"
           : IsMaria() ? maria_.ConnectionString()
                       : qjtest::SqliteConnectionString(dbFile_);
  }
  std::string Mode() const {
    const size_t bar = GetParam().find('_');
    return bar == std::string::npos ? "auto" : GetParam().substr(bar + 1);
  }
  void Param(const std::string& prefix, const std::string& value) {
    for (std::string& line : db_->Params) {
      if (qj::StartsWith(line, prefix)) line = prefix + value;
    }
  }
  void Setup(const std::string& sql) {
    if (IsPg()) return qjtest::PgExec(pg_, sql);
    if (IsMaria()) return qjtest::MariaExec(maria_, sql);
    qjtest::SqliteExec(dbFile_, sql);
  }
  // A table of ids 1..n with 'n' || id as name.
  void Series(int n) {
    const std::string rows = IsPg()      ? "SELECT g, 'n' || g FROM generate_series(1, " + std::to_string(n) + ") g;"
                             : IsMaria() ? "SELECT seq, CONCAT('n', seq) FROM seq_1_to_" + std::to_string(n) + ";"
                                         : "WITH RECURSIVE s(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM s WHERE g < " +
                                          std::to_string(n) + ") SELECT g, 'n' || g FROM s;";
    Setup("CREATE TABLE " + table_ + "(id INTEGER, name VARCHAR(20));INSERT INTO " + table_ + " " + rows);
  }
  void Run(const std::string& sql) {
    query_->Close();
    query_->ClearSql();
    query_->AddSql(sql);
    query_->Prepare();
    query_->Open();
  }
  // Every row as its values, "," between values and ";" after each row.
  std::string Rows() {
    std::string out;
    for (bool row = query_->FindFirst(); row; row = query_->FindNext()) {
      for (int i = 0; i < query_->FieldCount(); ++i) out += (i ? "," : "") + Show(query_->Field(i));
      out += ";";
    }
    return out;
  }
  // The SQLSTATE of the first record of the engine error the call throws.
  template <typename F>
  std::string State(F call) {
    try {
      call();
    } catch (const EDatabaseError& e) {
      what_ = e.what();
      return e.Records().at(0).SqlState;
    }
    return "no error";
  }
  std::string what_;

  qjtest::TempDir tmp_;
  qjtest::PgServer pg_ = qjtest::TestPgServer();
  qjtest::MariaServer maria_ = qjtest::TestMariaServer();
  std::string dbFile_ = tmp_.File("test.db");
  std::string table_ = "t";
  std::unique_ptr<qj::TDatabase> db_ = std::make_unique<qj::TDatabase>();
  std::unique_ptr<qj::TQuery> query_ = std::make_unique<qj::TQuery>(*db_);
};

TEST_P(EngineTest, TextConvertsBothWaysAndArrivesWhole) {
  // Long values with "€" and "ü" spread over the whole length cross every
  // piece boundary; Omega is outside the code page.
  std::string shortUtf8, shortCp, longUtf8, longCp;
  for (int i = 0; i < 1250; ++i) shortUtf8 += "ab\xE2\x82\xAC\xC3\xBC", shortCp += "ab\x80\xFC";
  for (int i = 0; i < 4; ++i) longUtf8 += shortUtf8, longCp += shortCp;
  Setup("CREATE TABLE " + table_ + "(id INTEGER, name VARCHAR(40), body TEXT);INSERT INTO " + table_ + " VALUES (1, '" +
        kMuellerEuroUtf8 + "', NULL), (2, 'a\xCE\xA9" "b', '" + shortUtf8 + "'), (3, 'plain', '" + longUtf8 + "');");
  EXPECT_FALSE(db_->Connected());
  Run("SELECT id, name, body FROM " + table_ + " ORDER BY id");
  EXPECT_TRUE(db_->Connected());
  // Long values of a block row: psqlODBC reads them after SQLSetPos;
  // MariaDB Connector/ODBC claims to but does not, so a row a fetch there.
  if (Mode() == "auto") {
    EXPECT_EQ(query_->RowsetSize() > 1, IsPg()) << query_->RowsetSize();
  }
  EXPECT_EQ(Rows(), "I1,S" + kMuellerEuro + ",NULL;I2,Sa?b,S" + shortCp + ";I3,Splain,S" + longCp + ";");
  Run("SELECT id FROM " + table_ + " WHERE name = '" + kMuellerEuro + "'");
  EXPECT_EQ(Rows(), "I1;");
}

// Values of megabytes arrive whole in any number of pieces: "€" (three bytes
// in UTF-8) and "ü" lie across every piece border the reading may choose.
TEST_P(EngineTest, MegabyteValuesArriveWhole) {
  // MariaDB Connector/ODBC 3.1 fails a statement that reads a long
  // MEDIUMTEXT value in pieces from a bound column ("[00000]"), with the
  // earlier piece reading as well; read through SQLGetData alone it works.
  if (IsMaria() && Mode() == "auto") GTEST_SKIP() << "bound MEDIUMTEXT values fail in the driver";
  const std::string repeats = "700000";
  const std::string unitUtf8 = "ab\xE2\x82\xAC\xC3\xBC", unit = "ab\x80\xFC";
  const std::string longValue = IsPg()      ? "repeat('" + unitUtf8 + "', " + repeats + ")"
                                : IsMaria() ? "REPEAT('" + unitUtf8 + "', " + repeats + ")"
                                            : "replace(hex(zeroblob(" + repeats + ")), '00', '" + unitUtf8 + "')";
  const auto row = [&](const std::string& id, const std::string& head) {
    return "(" + id + ", " + (IsMaria() ? "CONCAT('" + head + "', " + longValue + ")" : "'" + head + "' || " + longValue) +
           ", 'end')";
  };
  Setup("CREATE TABLE " + table_ + "(id INTEGER, body " + (IsMaria() ? "MEDIUMTEXT" : "TEXT") +
        ", tail VARCHAR(5));INSERT INTO " + table_ + " VALUES " + row("1", "x") + ", " + row("2", "\xC3\xBC") + ";");
  std::string expected;
  for (int i = 0; i < std::stoi(repeats); ++i) expected += unit;
  for (const std::string& head : {std::string("x"), std::string("\xFC")}) {
    Run("SELECT id, body, tail FROM " + table_ + " WHERE id = " + (head == "x" ? "1" : "2"));
    ASSERT_TRUE(query_->FindFirst());
    const std::string& got = query_->Field(1).bytes;
    EXPECT_EQ(got.size(), head.size() + expected.size());
    EXPECT_TRUE(got == head + expected) << "first difference at " << std::mismatch(got.begin(), got.end(),
                                                                                   (head + expected).begin()).first - got.begin();
    EXPECT_EQ(Show(query_->Field(2)), "Send");
    EXPECT_FALSE(query_->FindNext());
  }
}

TEST_P(EngineTest, TypedValuesOfEveryRow) {
  Setup("CREATE TABLE " + table_ +
        "(k INTEGER, d DATE, ts TIMESTAMP, at TIME, amount NUMERIC(10,2), ratio DOUBLE PRECISION, big BIGINT);"
        "INSERT INTO " + table_ + " VALUES "
        "(1, '2024-02-29', '2023-12-31 23:59:58', '23:59:58', 1234.5, -0.25, 9000000000),"
        "(2, NULL, NULL, NULL, NULL, NULL, NULL),"
        "(3, '1999-01-02', '2000-03-04 05:06:07', '08:09:10', -0.01, 1e10, -7);");
  Run("SELECT k, d, ts, at, amount, ratio, big FROM " + table_ + " ORDER BY k");
  EXPECT_EQ(Rows(),
            "I1,D2024-02-29,P2023-12-31 23:59:58,T23:59:58,F1234.5,F-0.25,I9000000000;"
            "I2,NULL,NULL,NULL,NULL,NULL,NULL;"
            "I3,D1999-01-02,P2000-03-04 05:06:07,T08:09:10,F-0.01,F10000000000,I-7;");
}

// Random values in every plain form and in odd ones, stored as what SQLite
// makes of them under each column's affinity. Not among them: a timestamp
// without seconds, which the driver's own conversion fills with the seconds
// of some earlier value or reports as NULL, depending on what it read before.
unsigned Below(std::mt19937& rng, unsigned n) { return static_cast<unsigned>(rng() % n); }

std::string RandomLiteral(std::mt19937& rng, int column) {
  static const char* const kOdd[] = {"''", "' 5'", "'12abc'", "'1e400'", "'-'", "'0x1F'", "'+7'", "'.5'", "'5.'",
                                     "'2024-02-30'", "'2024-1-5'", "'0000-01-01'", "'24:00:00'", "'7:05:09'",
                                     "'2024-01-05T10:00:00'", "'2024-01-05 10:00:00.123456'",
                                     "'2451545.5'", "'Inf'", "'-0'", "'9223372036854775808'", "NULL", "1.5", "-17"};
  std::uniform_int_distribution<int> pick(0, 99);
  if (pick(rng) < 25) return kOdd[rng() % (sizeof kOdd / sizeof *kOdd)];
  char b[64];
  switch (column) {
    case 0:  // INTEGER
      std::snprintf(b, sizeof b, "%lld", static_cast<long long>((uint64_t{rng()} << 32 | rng()) >> (rng() % 64)) *
                                             (rng() % 2 ? 1 : -1));
      break;
    case 1: {  // DOUBLE PRECISION: any finite bit pattern, or an everyday amount
      double d;
      do {
        const uint64_t bits = uint64_t{rng()} << 32 | rng();
        std::memcpy(&d, &bits, sizeof d);
        if (rng() % 2) d = static_cast<int>(rng() % 2000000 - 1000000) / 100.0;
      } while (!std::isfinite(d));
      std::snprintf(b, sizeof b, "%.17g", d);
      break;
    }
    case 2:  // DATE
      std::snprintf(b, sizeof b, "'%04u-%02u-%02u'", Below(rng, 9999) + 1, Below(rng, 12) + 1, Below(rng, 31) + 1);
      break;
    case 3:  // TIME
      std::snprintf(b, sizeof b, "'%02u:%02u:%02u'", Below(rng, 24), Below(rng, 60), Below(rng, 60));
      break;
    default:  // TIMESTAMP
      std::snprintf(b, sizeof b, "'%04u-%02u-%02u %02u:%02u:%02u%s'", Below(rng, 200) + 1900, Below(rng, 12) + 1,
                    Below(rng, 28) + 1, Below(rng, 24), Below(rng, 60), Below(rng, 60), rng() % 3 ? "" : ".5");
      break;
  }
  return b;
}

TEST_P(EngineTest, ValuesReadAsTheDriversTextEqualItsTypedValues) {
  if (IsServer() || Mode() != "auto") GTEST_SKIP() << "only the SQLite3 driver keeps its values as text";
  std::mt19937 rng(20261208);
  const char* const kText[] = {"MÃ¼ller", "â¬", "Î©", "ð", "a b", "Ã",
                               "xÃ", "ÿ"};  // the last two are malformed UTF-8
  std::string sql = "CREATE TABLE " + table_ + "(k INTEGER, i INTEGER, r DOUBLE PRECISION, d DATE, t TIME, "
                    "ts TIMESTAMP, name VARCHAR(8), body TEXT);";
  for (int row = 0; row < 1500; ++row) {
    sql += "INSERT INTO " + table_ + " VALUES (" + std::to_string(row);
    for (int column = 0; column < 5; ++column) sql += ", " + RandomLiteral(rng, column);
    std::string text;
    for (size_t n = rng() % 12; n > 0; --n) text += kText[rng() % (sizeof kText / sizeof *kText)];
    sql += ", '" + text + "', '" + std::string(rng() % 3 ? 3 : 700, 'w') + text + "');";
  }
  Setup(sql);
  // Every value exactly: kind, fields, bytes and floating values to the last bit.
  auto rows = [&](bool driverText) {
    db_->Fetching.driverText = driverText;
    Run("SELECT i, r, d, t, ts, name, body FROM " + table_ + " ORDER BY k");
    std::vector<std::string> out;
    for (bool row = query_->FindFirst(); row; row = query_->FindNext()) {
      std::string line;
      for (int i = 0; i < query_->FieldCount(); ++i) {
        const qj::ColumnValue& v = query_->Field(i);
        char real[40];
        std::snprintf(real, sizeof real, " %a", v.real);
        line += Show(v) + (v.kind == ValueKind::Float ? real : "") + ",";
      }
      out.push_back(line);
    }
    return out;
  };
  const std::vector<std::string> typed = rows(false);
  const std::vector<std::string> asText = rows(true);
  ASSERT_EQ(asText.size(), typed.size());
  // A value not in its column's plain form is read as stored (a number or
  // the text), where the driver's conversion makes something of the column's
  // type: those values are compared with the driver's text only.
  const std::string columnKinds = "IFDTPSS";
  int shown = 0, asStored = 0;
  for (size_t i = 0; i < typed.size() && shown < 5; ++i) {
    std::string expected, actual;
    size_t a = 0, t = 0;
    for (char kind : columnKinds) {
      const size_t aEnd = asText[i].find(',', a), tEnd = typed[i].find(',', t);
      const std::string piece = asText[i].substr(a, aEnd - a);
      if (piece[0] == kind || piece == "NULL") {
        actual += piece + ",";
        expected += typed[i].substr(t, tEnd - t) + ",";
      } else {
        ++asStored;
        EXPECT_TRUE(piece[0] == 'I' || piece[0] == 'F' || piece[0] == 'S') << piece;
      }
      a = aEnd + 1;
      t = tEnd + 1;
    }
    if (actual != expected) ++shown;
    EXPECT_EQ(actual, expected) << "row " << i;
  }
  EXPECT_GT(asStored, 0);
}

// The native SQLite engine against the SQLite3 driver on random values of
// every declared type: the same value, kind and fields, save for a text that
// reads as a number or a number the driver gives as text, where ODBC cannot
// tell the two apart and the native engine gives the storage class.
TEST_P(EngineTest, NativeSqliteGivesTheValuesOfTheOdbcPath) {
  if (IsServer() || !IsNative()) GTEST_SKIP() << "native SQLite against the SQLite3 driver";
  std::mt19937 rng(20261209);
  std::string sql = "CREATE TABLE " + table_ + "(k INTEGER, i INTEGER, r DOUBLE PRECISION, d DATE, t TIME, "
                    "ts TIMESTAMP, dt DATETIME, name VARCHAR(8), flag BOOLEAN, bin BLOB, free, amount DECIMAL(10,2));";
  for (int row = 0; row < 500; ++row) {
    sql += "INSERT INTO " + table_ + " VALUES (" + std::to_string(row);
    for (int column = 0; column < 11; ++column) sql += ", " + RandomLiteral(rng, column % 5);
    sql += ");";
  }
  Setup(sql);
  auto rows = [&] {
    Run("SELECT i, r, d, t, ts, dt, name, flag, bin, free, amount, i || '', r * 1, flag || '' FROM " + table_ + " ORDER BY k");
    std::vector<std::vector<std::string>> out;
    for (bool row = query_->FindFirst(); row; row = query_->FindNext()) {
      out.emplace_back();
      for (int i = 0; i < query_->FieldCount(); ++i) {
        // Floating values to the 15 digits of their text form: the driver
        // writes no more.
        const qj::ColumnValue& v = query_->Field(i);
        out.back().push_back(v.kind == ValueKind::Boolean ? (v.boolean ? "B1" : "B0")
                             : v.kind == ValueKind::Binary ? "X" + v.bytes
                                                           : Show(v));
      }
    }
    return out;
  };
  const auto native = rows();
  query_.reset();
  db_ = std::make_unique<qj::TDatabase>();
  query_ = std::make_unique<qj::TQuery>(*db_);
  Param("ODBC DSN=", OdbcDataSource());
  Param("USER NAME=", "");
  Param("PASSWORD=", "");
  const auto odbc = rows();
  ASSERT_EQ(native.size(), odbc.size());
  int differences = 0, asStored = 0;
  for (size_t r = 0; r < native.size() && differences < 10; ++r) {
    for (size_t c = 0; c < native[r].size(); ++c) {
      const std::string& n = native[r][c];
      const std::string& o = odbc[r][c];
      if (n == o) continue;
      qj::ColumnValue number;
      const std::string& text = n[0] == 'S' ? n : o;
      const std::string& other = n[0] == 'S' ? o : n;
      if (text[0] == 'S' && qj::ParsePlainNumber(text.substr(1), number) && Show(number) == other) {
        ++asStored;
        continue;
      }
      // The driver writes floating values through SQLite's own 15 digits,
      // which round the last digit otherwise for some large exponents.
      if (n[0] == 'F' && o[0] == 'F' && std::fabs(std::stod(n.substr(1)) / std::stod(o.substr(1)) - 1) < 1e-14) continue;
      ++differences;
      ADD_FAILURE() << "row " << r << " column " << c << ": native " << n << ", ODBC " << o;
    }
  }
  EXPECT_GT(asStored, 0);
}

// The native PostgreSQL engine against psqlODBC on the values of many types:
// the same value, kind and fields, save for the dates and timestamps
// psqlODBC's date struct cannot hold, which come as the server's text.
TEST_P(EngineTest, NativePostgresGivesTheValuesOfTheOdbcPath) {
  if (!IsPg() || !IsNative()) GTEST_SKIP() << "native PostgreSQL against psqlODBC";
  const std::vector<std::string> values = {
      "1::int2", "'-2147483648'::int4", "9223372036854775807::int8", "42::oid", "0.1::float4", "'NaN'::float4",
      "'-Infinity'::float8", "'Infinity'::float8", "1e-300::float8", "'NaN'::numeric", "123456789012.345::numeric",
      "true", "false", "'ab'::char(4)", "'x'::\"char\"", "'Müller €'::text", "'a b'::varchar(3)", "'abc'::name",
      "'2024-02-29'::date", "'23:59:59.5'::time", "'24:00:00'::time", "'12:00:00+02'::timetz",
      "'2024-02-29 01:02:03.5'::timestamp", "'2024-02-29 01:02:03+05:30'::timestamptz", "'1 day 02:00'::interval",
      "'\\x00ff'::bytea", "''::bytea", "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'::uuid", "'{\"a\": 1}'::json",
      "12.5::money", "'127.0.0.1'::inet", "ARRAY[1,2]", "ROW(1, 'a')", "NULL::int4", "NULL::date"};
  std::string select = "SELECT ";
  for (size_t i = 0; i < values.size(); ++i) select += (i ? ", " : "") + values[i];
  auto row = [&] {
    Run(select);
    std::vector<std::string> out;
    EXPECT_TRUE(query_->FindFirst());
    for (int i = 0; i < query_->FieldCount(); ++i) {
      const qj::ColumnValue& v = query_->Field(i);
      out.push_back(v.kind == ValueKind::Boolean ? (v.boolean ? "B1" : "B0")
                    : v.kind == ValueKind::Binary ? "X" + v.bytes
                                                  : Show(v));
    }
    return out;
  };
  Setup("SET TIME ZONE 'UTC'");
  Param("ODBC DSN=", pg_.Uri() + "?options=-c%20TimeZone%3DUTC");
  const std::vector<std::string> native = row();
  query_.reset();
  db_ = std::make_unique<qj::TDatabase>();
  query_ = std::make_unique<qj::TQuery>(*db_);
  Param("ODBC DSN=", OdbcDataSource() + ";ConnSettings=SET TIME ZONE 'UTC'");
  Param("USER NAME=", pg_.user);
  Param("PASSWORD=", pg_.password);
  const std::vector<std::string> odbc = row();
  ASSERT_EQ(native.size(), values.size());
  ASSERT_EQ(odbc.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    // psqlODBC gives booleans as the texts "1" and "0", and money as a
    // number; the native engine a boolean and the server's text.
    if (values[i] == "true" || values[i] == "false") {
      EXPECT_EQ(native[i], values[i] == "true" ? "B1" : "B0");
      EXPECT_EQ(odbc[i], values[i] == "true" ? "S1" : "S0");
    } else if (values[i] == "12.5::money") {
      EXPECT_EQ(native[i], "S$12.50");
      EXPECT_EQ(odbc[i], "F12.5");
    } else {
      EXPECT_EQ(native[i], odbc[i]) << values[i];
    }
  }
}

TEST_P(EngineTest, RowsArriveInOrderAcrossSeveralFetchBlocks) {
  Series(2500);
  Run("SELECT id, name FROM " + table_ + " ORDER BY id");
  // psqlODBC reads long values of a block row; the SQLite3 driver cannot.
  EXPECT_EQ(query_->ColumnsBound(), Mode() != "getdata" && !IsNative());
  if (IsServer() && Mode() == "auto") {
    EXPECT_GT(query_->RowsetSize(), 1u) << "block fetch not in use";
    EXPECT_LT(query_->RowsetSize(), 2500u);
  } else {
    EXPECT_EQ(query_->RowsetSize(), 1u);
  }
  std::string expected;
  for (int i = 1; i <= 2500; ++i) expected += "I" + std::to_string(i) + ",Sn" + std::to_string(i) + ";";
  EXPECT_EQ(Rows(), expected);
  EXPECT_FALSE(query_->FindNext());
  ASSERT_TRUE(query_->FindFirst());  // runs the statement again
  EXPECT_EQ(query_->Field(0).integer, 1);
}

TEST_P(EngineTest, EngineErrorWhileSteppingThroughRowsIsThrown) {
  Series(3000);
  // Row 2000 fails only when it is computed, after earlier rows were delivered.
  if (IsMaria()) GTEST_SKIP() << "MariaDB Connector/ODBC reads the whole result on execution";
  Run(IsPg() ? "SELECT 1 / (id - 2000) FROM " + table_
             : "SELECT CASE WHEN id = 2000 THEN abs(-9223372036854775807 - 1) ELSE id END FROM " + table_);
  int rows = 0;
  EXPECT_EQ(State([&] {
              for (bool row = query_->FindFirst(); row; row = query_->FindNext()) ++rows;
            }),
            IsPg() ? "22012" : "HY000")
      << what_;
  EXPECT_GT(rows, 0);
  EXPECT_LT(rows, 2000);
}

TEST_P(EngineTest, RejectedStatementsAndColumns) {
  const std::string state = State([&] { Run("SELECT x FROM no_such_table_here"); });
  EXPECT_EQ(state.size(), 5u) << state;
  EXPECT_EQ(what_.rfind("[" + state + "] ", 0), 0u) << what_;
  EXPECT_NE(what_.find("no_such_table_here"), std::string::npos) << what_;
  EXPECT_NE(what_.back(), '\n');
  // The connection survives; a statement without result columns fails at
  // open; one that writes is rejected by the database, which keeps its data
  // (the native engines refuse it before it runs, as it has no result columns).
  Setup("CREATE TABLE " + table_ + "(id INTEGER);INSERT INTO " + table_ + " VALUES (1);");
  EXPECT_EQ(State([&] { Run(IsPg() ? "SET TRANSACTION READ ONLY" : IsMaria() ? "SET @qj = 1" : "PRAGMA query_only = 1"); }),
            "07005");
  EXPECT_EQ(what_, "[07005] Die Anweisung liefert keine Ergebnisspalten");
  for (const std::string& write : {"DELETE FROM " + table_, "INSERT INTO " + table_ + " VALUES (2)"}) {
    const std::string rejected = State([&] { Run(write); });
    if (!IsNative()) {
      EXPECT_NE(rejected, "07005") << write;
    }
    EXPECT_NE(rejected, "no error") << write;
  }
  Run("SELECT id FROM " + table_);
  EXPECT_EQ(Rows(), "I1;");
  Run("SELECT 1, 'b'");
  ASSERT_TRUE(query_->FindFirst());
  EXPECT_EQ(query_->Field(1).bytes, "b");
  EXPECT_EQ(State([&] { query_->Field(2); }), "07009");
  EXPECT_THROW(query_->Field(-1), EDatabaseError);
}

// A native engine only reads: a statement without result columns never
// runs, one that would write with a result fails, a second statement after
// the first is refused at prepare; the table keeps its rows.
TEST_P(EngineTest, NativeEngineNeverWrites) {
  if (!IsNative()) GTEST_SKIP() << "the native engines' own read-only session";
  Series(3);
  const std::string table = table_;
  EXPECT_EQ(State([&] { Run("DELETE FROM " + table); }), "07005");
  EXPECT_EQ(State([&] { Run("INSERT INTO " + table + " VALUES (9, 'x') RETURNING id"); }), "25006") << what_;
  EXPECT_NE(State([&] { query_->ClearSql(); query_->AddSql("SELECT 1; DELETE FROM " + table); query_->Prepare(); }),
            "no error");
  EXPECT_FALSE(query_->Prepared());
  // The session goes on after every refusal.
  Run("SELECT count(*) FROM " + table);
  EXPECT_EQ(Rows(), "I3;");
  query_.reset();
  db_.reset();
  Setup(IsPg() ? "\\copy (SELECT count(*) FROM " + table + ") TO '" + tmp_.File("count") + "'"
               : ".output " + tmp_.File("count") + "\nSELECT count(*) FROM " + table + ";");
  EXPECT_EQ(qjtest::ReadBytes(tmp_.File("count")), "3\n");
}

// A native engine's connection that cannot be opened is a connection error
// at the first prepare, naming the target; SQLite creates no file.
TEST_P(EngineTest, NativeConnectionFailureIsAConnectionError) {
  if (!IsNative()) GTEST_SKIP() << "the native engines' connection";
  const std::string target = IsPg() ? "postgresql://127.0.0.1:1/none?connect_timeout=5" : "file:" + tmp_.File("none.db");
  Param("ODBC DSN=", target);
  query_->AddSql("SELECT 1");
  try {
    query_->Prepare();
    ADD_FAILURE() << "connected";
  } catch (const qj::EConnectionError& e) {
    EXPECT_EQ(e.Records().at(0).SqlState, "08001") << e.what();
    EXPECT_NE(std::string(e.what()).find(IsPg() ? "127.0.0.1" : "none.db"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(db_->Connected());
  EXPECT_FALSE(qjtest::FileExists(tmp_.File("none.db")));
}

TEST_P(EngineTest, UnknownDataSourceNameIsRefused) {
  Param("ODBC DSN=", "qj_no_such_dsn");
  EXPECT_EQ(State([&] { Run("SELECT 1"); }), "IM002");
  EXPECT_FALSE(db_->Connected());
  EXPECT_FALSE(query_->Prepared());
}

TEST_P(EngineTest, DataSourceNameConnects) {
  if (Mode() != "auto") GTEST_SKIP() << "connecting does not depend on the fetch mode";
  const std::string dsn = "qj_dsn_" + GetParam();
  if (IsPg()) {
    qjtest::AddTestDsn(dsn, {{"Driver", "PostgreSQL Unicode"}, {"Servername", pg_.host}, {"Port", pg_.port},
                             {"Database", pg_.database}});
  } else if (IsMaria()) {
    qjtest::AddTestDsn(dsn, {{"Driver", "MariaDB Unicode"}, {"Server", maria_.host}, {"Port", maria_.port},
                             {"Database", maria_.database}});
  } else {
#if defined(__SANITIZE_ADDRESS__)
    // The SQLite3 driver leaks what it read for a DSN connection inside a
    // module that is unloaded before LeakSanitizer can name it.
    GTEST_SKIP() << "SQLite3 DSN connection leaks inside the driver";
#endif
    qjtest::AddTestDsn(dsn, {{"Driver", "SQLite3"}, {"Database", dbFile_}, {"NoCreat", "1"}});
  }
  Param("ODBC DSN=", dsn);
  Run("SELECT '" + kMuellerEuro + "'");
  EXPECT_EQ(Rows(), "S" + kMuellerEuro + ";");
}

INSTANTIATE_TEST_SUITE_P(Databases, EngineTest,
                         ::testing::Values("sqlite", "pg", "maria", "sqlite_getdata", "pg_getdata", "maria_getdata",
                                           "pg_rowwise", "sqlite_native", "pg_native"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace

namespace {

// The login gives up after the timeout with the driver's message; without it
// the connection would wait for ever. (MariaDB Connector/ODBC applies its
// login timeout to the TCP connect only, so it is not tried here.)
TEST(LoginTimeout, SilentServerEndsTheLogin) {
  qjtest::UseTestOdbcConfig();
  const qjtest::SilentServer server;
  qj::ConnectTarget target;
  target.connectionString = true;
  target.dataSource = "DRIVER={PostgreSQL Unicode};Server=127.0.0.1;Port=" + server.Port() + ";Database=qj";
  target.user = "qj";
  target.password = "pw";
  qj::OdbcConnection connection;
  try {
    connection.Connect(target, 1);
    ADD_FAILURE() << "connected";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Records().at(0).SqlState, "08001");
    EXPECT_NE(std::string(e.what()).find("timeout expired"), std::string::npos) << e.what();
  }
}

}  // namespace
