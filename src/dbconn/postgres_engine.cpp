// The PostgreSQL engine: libpq with the extended query protocol (one
// statement per prepare), every statement inside one read-only transaction
// that is never committed, rows streamed one at a time in single-row mode,
// values as the server's text in UTF-8, read by their column's type.

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "dbconn/db_error.h"
#include "dbconn/libpq_library.h"
#include "dbconn/native_engines.h"
#include "dbconn/native_statement.h"
#include "dbconn/odbc_engine.h"
#include "dbconn/plain_value.h"
#include "platform/code_page.h"

namespace qj {

namespace {

// Seconds a connection attempt may take unless the URI sets its own.
constexpr const char* kConnectTimeout = "60";
// The session's settings the values are read in: ISO dates, floating values
// with every digit, binary values in hex; no write ever.
constexpr const char* kSessionOptions =
    "-c default_transaction_read_only=on -c DateStyle=ISO -c extra_float_digits=3 -c bytea_output=hex";

// Type OIDs of pg_type that have a value kind of their own.
enum Oid : unsigned {
  kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701,
  kDate = 1082, kTime = 1083, kTimestamp = 1114, kTimestampTz = 1184, kNumeric = 1700, kUuid = 2950,
};

ValueKind KindOfType(unsigned type) {
  switch (type) {
    case kBool:
      return ValueKind::Boolean;
    case kBytea:
      return ValueKind::Binary;
    case kInt8:
    case kInt2:
    case kInt4:
    case kOid:
      return ValueKind::Integer;
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return ValueKind::Float;
    case kDate:
      return ValueKind::Date;
    case kTime:
      return ValueKind::Time;
    case kTimestamp:
    case kTimestampTz:
      return ValueKind::Timestamp;
    default:
      return ValueKind::Text;
  }
}

const char* TypeName(unsigned type) {
  switch (type) {
    case kBool: return "bool";
    case kBytea: return "bytea";
    case kInt8: return "int8";
    case kInt2: return "int2";
    case kInt4: return "int4";
    case kOid: return "oid";
    case kFloat4: return "float4";
    case kFloat8: return "float8";
    case kNumeric: return "numeric";
    case kDate: return "date";
    case kTime: return "time";
    case kTimestamp: return "timestamp";
    case kTimestampTz: return "timestamptz";
    case 25: return "text";
    case 1042: return "bpchar";
    case 1043: return "varchar";
    default: return "";
  }
}

// Characters a value of the column may need, from its type and modifier.
int64_t DisplaySize(unsigned type, int modifier) {
  switch (type) {
    case 1042:
    case 1043:
      return modifier > 4 ? modifier - 4 : 0;
    case kNumeric:
      return modifier > 4 ? ((modifier - 4) >> 16) + 2 : 0;
    case kBool: return 1;
    case kInt2: return 6;
    case kInt4: return 11;
    case kInt8: return 20;
    case kDate: return 10;
    case kTime: return 8;
    case kTimestamp:
    case kTimestampTz: return 19;
    default: return 0;
  }
}

std::string TrimmedLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The records of a failed result: the server's message with its SQLSTATE,
// then its detail and hint; a lost connection as 08S01.
std::vector<DiagnosticRecord> ResultRecords(PGconn* conn, const PGresult* result) {
  const char* state = result != nullptr ? Pq().PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  const char* primary = result != nullptr ? Pq().PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  if (state == nullptr || primary == nullptr) {
    const bool lost = Pq().PQstatus(conn) == CONNECTION_BAD;
    std::string text = result != nullptr ? Pq().PQresultErrorMessage(result) : "";
    if (text.empty()) text = Pq().PQerrorMessage(conn);
    return {{lost ? "08S01" : "HY000", 0, "[PostgreSQL] " + Utf8ToCp1252(TrimmedLineEnds(text))}};
  }
  const char* severity = Pq().PQresultErrorField(result, PG_DIAG_SEVERITY);
  std::vector<DiagnosticRecord> records{
      {state, 0, "[PostgreSQL] " + std::string(severity != nullptr ? severity : "ERROR") + ": " + Utf8ToCp1252(primary)}};
  for (const auto& [field, label] : {std::pair{PG_DIAG_MESSAGE_DETAIL, "DETAIL: "}, {PG_DIAG_MESSAGE_HINT, "HINT: "}}) {
    const char* text = Pq().PQresultErrorField(result, field);
    if (text != nullptr) records.push_back({state, 0, "[PostgreSQL] " + std::string(label) + Utf8ToCp1252(text)});
  }
  if (Pq().PQstatus(conn) == CONNECTION_BAD) records.push_back({"08S01", 0, "[PostgreSQL] Verbindung zum Server verloren"});
  return records;
}

[[noreturn]] void ThrowResult(PGconn* conn, const PGresult* result) {
  throw EDatabaseError(ResultRecords(conn, result));
}

struct ResultDeleter {
  void operator()(PGresult* result) const { Pq().PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// A command that must succeed: throws its error otherwise.
void Command(PGconn* conn, const char* sql) {
  Result result(Pq().PQexec(conn, sql));
  if (Pq().PQresultStatus(result.get()) != PGRES_COMMAND_OK) ThrowResult(conn, result.get());
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A bytea's hex text "\x00ff10" as its bytes; false when it is not one.
bool DecodeHex(std::string_view text, std::string& out) {
  if (text.size() < 2 || text[0] != '\\' || text[1] != 'x' || text.size() % 2 != 0) return false;
  out.reserve((text.size() - 2) / 2);
  for (size_t i = 2; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high << 4 | low));
  }
  return true;
}

// A floating value's text: the plain form, or the server's names of the
// values beyond it, or a decimal beyond the range of a double (to its
// infinity, as a driver's conversion gives it).
bool ReadFloat(std::string_view text, ColumnValue& v) {
  if (ParsePlainValue(ValueKind::Float, text, v)) return true;
  if (text == "NaN") {
    v.real = std::nan("");
    return true;
  }
  if (text == "Infinity" || text == "-Infinity") {
    v.real = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    return true;
  }
  const std::string copy(text);
  char* end = nullptr;
  v.real = std::strtod(copy.c_str(), &end);
  return !copy.empty() && end == copy.c_str() + copy.size();
}

// A timestamp with time zone without its offset ("+01", "-03:30", "+00:53:28"):
// the time is already the session's.
std::string_view WithoutOffset(std::string_view text) {
  const size_t sign = text.find_last_of("+-");
  if (sign == std::string_view::npos || sign < 19) return text;
  for (size_t i = sign + 1; i < text.size(); ++i) {
    if (!(text[i] >= '0' && text[i] <= '9') && text[i] != ':') return text;
  }
  return text.substr(0, sign);
}

// The value of a column of the kind and type from the server's text.
void BuildValue(ValueKind kind, unsigned type, std::string_view text, ColumnValue& v) {
  bool read = false;
  switch (kind) {
    case ValueKind::Boolean:
      v.boolean = text == "t";
      read = text == "t" || text == "f";
      break;
    case ValueKind::Binary:
      read = DecodeHex(text, v.bytes);
      break;
    case ValueKind::Float:
      // A real's text is the shortest that reads back as it ("0.1"), as
      // the ODBC path gives a single-precision value.
      read = ReadFloat(text, v);
      break;
    case ValueKind::Timestamp:
      read = ParsePlainValue(kind, type == kTimestampTz ? WithoutOffset(text) : text, v);
      break;
    case ValueKind::Text:
      // A uuid in upper case, as ODBC gives a GUID.
      if (type == kUuid) {
        v.kind = ValueKind::Text;
        for (char c : text) v.bytes.push_back(c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c);
        return;
      }
      break;
    default:
      read = ParsePlainValue(kind, text, v);
      break;
  }
  if (read) {
    v.kind = kind;
    return;
  }
  // Any other value as the server's text ('infinity', a year BC, 24:00:00).
  v.kind = ValueKind::Text;
  v.bytes.clear();
  AppendUtf8AsCp1252(text, v.bytes);
}

class PostgresConnection;

class PostgresStatement : public NativeStatement {
 public:
  PostgresStatement(PostgresConnection& connection, std::string name);
  ~PostgresStatement() override;
  PostgresStatement(const PostgresStatement&) = delete;
  PostgresStatement& operator=(const PostgresStatement&) = delete;

  void Prepare(std::string_view statement) override;
  std::vector<ColumnInfo> Describe() override { return description_; }

 protected:
  int ResultColumns() const override { return static_cast<int>(types_.size()); }
  void StartRun() override;
  void StopRun() override;
  bool FetchRow() override;
  void ReadValue(int index, ColumnValue& value) override;

 private:
  // Reads and drops every result still on its way.
  void Drain();

  PostgresConnection& connection_;
  PGconn* conn_;
  std::string name_;
  bool prepared_ = false;
  std::vector<ColumnInfo> description_;
  std::vector<unsigned> types_;  // type OID of each result column
  std::vector<ValueKind> kinds_;
  Result row_;
  bool streaming_ = false;  // results of the run still on their way
};

class PostgresConnection : public EngineConnection {
 public:
  explicit PostgresConnection(const ConnectTarget& target);
  ~PostgresConnection() override { Pq().PQfinish(conn_); }
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;

  EngineKind Kind() const override { return EngineKind::Postgres; }
  std::unique_ptr<EngineStatement> NewStatement(const FetchOptions&) override {
    return std::make_unique<PostgresStatement>(*this, "qj_" + std::to_string(++statements_));
  }
  PGconn* Handle() const { return conn_; }
  // The read-only transaction every statement runs in; one that an error
  // ended is rolled back and begun anew.
  void EnsureTransaction();

 private:
  PGconn* conn_ = nullptr;
  unsigned statements_ = 0;
};

void IgnoreNotice(void*, const char*) {}

PostgresConnection::PostgresConnection(const ConnectTarget& target) {
  try {
    Pq();
  } catch (const std::runtime_error& error) {
    throw EConnectionError(std::vector<DiagnosticRecord>{{"08001", 0, std::string("[PostgreSQL] ") + error.what()}});
  }
  const std::string uri = Cp1252ToUtf8(target.dataSource);
  char* parseError = nullptr;
  PQconninfoOption* parsed = Pq().PQconninfoParse(uri.c_str(), &parseError);
  if (parsed == nullptr) {
    const std::string message = parseError != nullptr ? parseError : "ungueltige Adresse";
    Pq().PQfreemem(parseError);
    throw EConnectionError(std::vector<DiagnosticRecord>{
        {"08001", 0, "[PostgreSQL] " + Utf8ToCp1252(TrimmedLineEnds(message))}});
  }
  std::string options = kSessionOptions;
  bool ownTimeout = false;
  for (const PQconninfoOption* o = parsed; o->keyword != nullptr; ++o) {
    if (o->val == nullptr) continue;
    if (std::strcmp(o->keyword, "options") == 0 && *o->val != '\0') options = std::string(o->val) + " " + options;
    if (std::strcmp(o->keyword, "connect_timeout") == 0) ownTimeout = true;
  }
  Pq().PQconninfoFree(parsed);
  const std::string user = Cp1252ToUtf8(target.user), password = Cp1252ToUtf8(target.password);
  // Later keywords win over the URI's own.
  std::vector<const char*> keywords{"dbname", "client_encoding", "options", "fallback_application_name"};
  std::vector<const char*> values{uri.c_str(), "UTF8", options.c_str(), "qjsqlexe"};
  if (!ownTimeout) keywords.push_back("connect_timeout"), values.push_back(kConnectTimeout);
  if (!user.empty()) keywords.push_back("user"), values.push_back(user.c_str());
  if (!password.empty()) keywords.push_back("password"), values.push_back(password.c_str());
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  conn_ = Pq().PQconnectdbParams(keywords.data(), values.data(), 1);
  if (conn_ == nullptr || Pq().PQstatus(conn_) != CONNECTION_OK) {
    const std::string message = conn_ != nullptr ? Pq().PQerrorMessage(conn_) : "kein Speicher";
    Pq().PQfinish(conn_);
    conn_ = nullptr;
    throw EConnectionError(std::vector<DiagnosticRecord>{
        {"08001", 0, "[PostgreSQL] " + Utf8ToCp1252(TrimmedLineEnds(message))}});
  }
  // Server notices would reach the console past the tool.
  Pq().PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
  try {
    EnsureTransaction();
  } catch (const EDatabaseError& error) {
    Pq().PQfinish(conn_);
    conn_ = nullptr;
    throw EConnectionError(error.Records());
  }
}

void PostgresConnection::EnsureTransaction() {
  const PGTransactionStatusType status = Pq().PQtransactionStatus(conn_);
  if (status == PQTRANS_INERROR) Command(conn_, "ROLLBACK");
  if (status != PQTRANS_INTRANS) Command(conn_, "BEGIN TRANSACTION READ ONLY");
}

PostgresStatement::PostgresStatement(PostgresConnection& connection, std::string name)
    : connection_(connection), conn_(connection.Handle()), name_(std::move(name)) {}

PostgresStatement::~PostgresStatement() {
  Drain();
  if (prepared_ && Pq().PQtransactionStatus(conn_) == PQTRANS_INTRANS) {
    Pq().PQclear(Pq().PQexec(conn_, ("DEALLOCATE " + name_).c_str()));
  }
}

void PostgresStatement::Prepare(std::string_view statement) {
  CloseCursor();
  if (prepared_) {
    connection_.EnsureTransaction();
    Command(conn_, ("DEALLOCATE " + name_).c_str());
    prepared_ = false;
  }
  description_.clear();
  types_.clear();
  kinds_.clear();
  connection_.EnsureTransaction();
  const std::string sql = Cp1252ToUtf8(statement);
  Result prepared(Pq().PQprepare(conn_, name_.c_str(), sql.c_str(), 0, nullptr));
  if (Pq().PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) ThrowResult(conn_, prepared.get());
  prepared_ = true;
  Result described(Pq().PQdescribePrepared(conn_, name_.c_str()));
  if (Pq().PQresultStatus(described.get()) != PGRES_COMMAND_OK) ThrowResult(conn_, described.get());
  for (int i = 0; i < Pq().PQnfields(described.get()); ++i) {
    const unsigned type = Pq().PQftype(described.get(), i);
    types_.push_back(type);
    kinds_.push_back(KindOfType(type));
    description_.push_back({Utf8ToCp1252(Pq().PQfname(described.get(), i)), TypeName(type),
                            DisplaySize(type, Pq().PQfmod(described.get(), i))});
  }
}

void PostgresStatement::Drain() {
  row_.reset();
  while (streaming_) {
    Result rest(Pq().PQgetResult(conn_));
    streaming_ = rest != nullptr;
  }
}

void PostgresStatement::StopRun() {
  if (streaming_) {
    // Rows no one reads are not fetched: the server stops the statement.
    PGcancel* cancel = Pq().PQgetCancel(conn_);
    if (cancel != nullptr) {
      char message[256];
      Pq().PQcancel(cancel, message, sizeof message);
      Pq().PQfreeCancel(cancel);
    }
  }
  Drain();
}

void PostgresStatement::StartRun() {
  connection_.EnsureTransaction();
  if (Pq().PQsendQueryPrepared(conn_, name_.c_str(), 0, nullptr, nullptr, nullptr, 0) != 1) ThrowResult(conn_, nullptr);
  streaming_ = true;
  Pq().PQsetSingleRowMode(conn_);
}

bool PostgresStatement::FetchRow() {
  row_.reset();
  if (!streaming_) return false;
  Result result(Pq().PQgetResult(conn_));
  if (result == nullptr) {
    streaming_ = false;
    return false;
  }
  switch (Pq().PQresultStatus(result.get())) {
    case PGRES_SINGLE_TUPLE:
      row_ = std::move(result);
      return true;
    case PGRES_TUPLES_OK:
      Drain();
      return false;
    default: {
      // After the rest is read, a connection the server closed shows as lost.
      Drain();
      throw EDatabaseError(ResultRecords(conn_, result.get()));
    }
  }
}

void PostgresStatement::ReadValue(int index, ColumnValue& value) {
  if (Pq().PQgetisnull(row_.get(), 0, index)) {
    value.kind = ValueKind::Null;
    return;
  }
  const auto i = static_cast<size_t>(index);
  BuildValue(kinds_[i], types_[i],
             std::string_view(Pq().PQgetvalue(row_.get(), 0, index), static_cast<size_t>(Pq().PQgetlength(row_.get(), 0, index))),
             value);
}

}  // namespace

std::unique_ptr<EngineConnection> ConnectPostgres(const ConnectTarget& target) {
  return std::make_unique<PostgresConnection>(target);
}

}  // namespace qj
