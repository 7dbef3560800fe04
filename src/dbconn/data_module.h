#pragma once
// The data module dm1 with its connection component VELMORANT and its query
// component Qry1: thin classes over the engine the data source value names.
// Constructing them opens nothing; the connection opens at the first prepare.

#include <memory>
#include <string>
#include <vector>

#include "dbconn/column_info.h"
#include "dbconn/column_value.h"
#include "dbconn/db_error.h"
#include "dbconn/engine.h"
#include "dbconn/fetch_options.h"

namespace qj {

class TDatabase {
 public:
  TDatabase();
  ~TDatabase();
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  std::string Name = "VELMORANT";
  std::string AliasName = "VELMORANT";
  std::string DatabaseName = "VXDB";
  bool LoginPrompt = false;
  std::string SessionName = "Default";
  std::vector<std::string> Params;  // "NAME=value" lines in stored order
  FetchOptions Fetching;            // for the statements prepared after a change

  bool Connected() const;
  // The engine the data source value of Params names, connected or not.
  EngineKind Kind() const;
  // Connects with the data source, user and password of Params: the value of
  // "ODBC DSN=" (the alias when missing or empty) is an SQLite URI filename
  // ("file:..."), a PostgreSQL URI ("postgresql://...", "postgres://..."),
  // a complete ODBC connection string when it holds "=", or else an ODBC
  // data source name; user and password come from "USER NAME=" and
  // "PASSWORD=". Never prompts; stays open until destruction.
  // A connection that cannot be opened raises EConnectionError; the failure
  // is remembered and every later call raises it again without a new login,
  // so that a dead server costs one login timeout per run.
  void Open();
  bool ConnectionFailed() const { return !failure_.empty(); }

  EngineConnection& Connection();

 private:
  std::unique_ptr<EngineConnection> connection_;
  std::vector<DiagnosticRecord> failure_;
};

class TQuery {
 public:
  explicit TQuery(TDatabase& database);
  ~TQuery();
  TQuery(const TQuery&) = delete;
  TQuery& operator=(const TQuery&) = delete;

  std::string DatabaseName = "VXDB";

  void Close();
  void ClearSql();
  void AddSql(const std::string& line);
  bool Prepared() const;
  void Prepare();  // connects the database on first use
  void Open();     // executes; a statement without result columns is an error
  bool FindFirst();
  bool FindNext();
  int FieldCount() const;
  // The result columns of the statement, prepared first if it is not.
  std::vector<ColumnInfo> Describe();
  // The value of a column of the current row by 0-based index; an index beyond
  // the result's columns raises EDatabaseError. The reference stays valid
  // until the query moves to another row or closes.
  const ColumnValue& Field(int index);
  // A column of the current row copied for another thread to build its
  // value while this one moves on (EngineStatement::Capture); false when the
  // value is to be read by Field.
  bool CaptureField(int index, CapturedValue& out);
  // The value of a capture, as Field would have given it; any thread, while
  // the query stays open.
  void BuildCapturedField(const CapturedValue& captured, ColumnValue& out) const;
  // The statement lines, each followed by CR LF.
  std::string Text() const;
  // The statement as the driver gets it: the lines joined by LF.
  std::string StatementText() const;
  // Rows per fetch block of the open query (1: single-row fetch).
  size_t RowsetSize() const;
  // Whether the open query fetches into bound buffers (else by SQLGetData).
  bool ColumnsBound() const;

 private:
  EngineStatement& OpenStatement();

  TDatabase& database_;
  std::vector<std::string> sql_;
  std::unique_ptr<EngineStatement> statement_;
};

class Tdm1 {
 public:
  Tdm1();
  ~Tdm1();
  Tdm1(const Tdm1&) = delete;
  Tdm1& operator=(const Tdm1&) = delete;

  bool OldCreateOrder = false;
  TDatabase VELMORANT;
  TQuery Qry1;
};

}  // namespace qj
