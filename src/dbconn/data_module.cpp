#include "dbconn/data_module.h"

#include <utility>

#include "dbconn/odbc_engine.h"

namespace qj {

TDatabase::TDatabase()
    : Params{"DATABASE NAME=",
             "USER NAME=velmorant",
             "ODBC DSN=VELMORANT",
             "OPEN MODE=READ/WRITE",
             "SCHEMA CACHE SIZE=8",
             "SQLQRYMODE=",
             "LANGDRIVER=",
             "SQLPASSTHRU MODE=SHARED AUTOCOMMIT",
             "SCHEMA CACHE TIME=-1",
             "MAX ROWS=-1",
             "BATCH COUNT=200",
             "ENABLE SCHEMA CACHE=FALSE",
             "SCHEMA CACHE DIR=",
             "ENABLE BCD=FALSE",
             "ROWSET SIZE=20",
             "BLOBS TO CACHE=64",
             "PASSWORD=korbalest"} {}

TDatabase::~TDatabase() = default;

bool TDatabase::Connected() const { return connection_ != nullptr; }

EngineKind TDatabase::Kind() const { return EngineKindOf(ConnectTargetFromParams(Params, AliasName).dataSource); }

void TDatabase::Open() {
  if (connection_) return;
  if (!failure_.empty()) throw EConnectionError(failure_);
  try {
    connection_ = ConnectEngine(ConnectTargetFromParams(Params, AliasName));
  } catch (const EDatabaseError& error) {
    failure_ = error.Records();
    if (failure_.empty()) failure_.push_back(DiagnosticRecord{"08001", 0, "Verbindung nicht moeglich"});
    throw EConnectionError(failure_);
  }
}

EngineConnection& TDatabase::Connection() {
  Open();
  return *connection_;
}

TQuery::TQuery(TDatabase& database) : database_(database) {}

TQuery::~TQuery() = default;

void TQuery::Close() {
  if (statement_) statement_->CloseCursor();
}

void TQuery::ClearSql() {
  sql_.clear();
  statement_.reset();
}

void TQuery::AddSql(const std::string& line) {
  sql_.push_back(line);
  statement_.reset();
}

bool TQuery::Prepared() const { return statement_ != nullptr; }

void TQuery::Prepare() {
  statement_.reset();
  std::unique_ptr<EngineStatement> statement = database_.Connection().NewStatement(database_.Fetching);
  statement->Prepare(StatementText());
  statement_ = std::move(statement);
}

void TQuery::Open() {
  if (!Prepared()) Prepare();
  statement_->Execute();
}

EngineStatement& TQuery::OpenStatement() {
  if (!statement_ || !statement_->Executed()) {
    ThrowOwnError("24000", "Die Abfrage ist nicht geoeffnet");
  }
  return *statement_;
}

bool TQuery::FindFirst() { return OpenStatement().First(); }

bool TQuery::FindNext() { return OpenStatement().Next(); }

int TQuery::FieldCount() const { return statement_ && statement_->Executed() ? statement_->ColumnCount() : 0; }

std::vector<ColumnInfo> TQuery::Describe() {
  if (!Prepared()) Prepare();
  return statement_->Describe();
}

const ColumnValue& TQuery::Field(int index) { return OpenStatement().Value(index); }

bool TQuery::CaptureField(int index, CapturedValue& out) { return OpenStatement().Capture(index, out); }

void TQuery::BuildCapturedField(const CapturedValue& captured, ColumnValue& out) const {
  statement_->BuildCaptured(captured, out);
}

std::string TQuery::Text() const {
  std::string text;
  for (const std::string& line : sql_) text += line + "\r\n";
  return text;
}

std::string TQuery::StatementText() const {
  std::string text;
  for (size_t i = 0; i < sql_.size(); ++i) {
    if (i > 0) text += '\n';
    text += sql_[i];
  }
  return text;
}

size_t TQuery::RowsetSize() const { return statement_ ? statement_->RowsetSize() : 0; }

bool TQuery::ColumnsBound() const { return statement_ && statement_->ColumnsBound(); }

Tdm1::Tdm1() : Qry1(VELMORANT) {}

Tdm1::~Tdm1() = default;

}  // namespace qj
