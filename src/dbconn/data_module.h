#pragma once
// The data module dm1 with its connection component VELMORANT and its query
// component Qry1: thin classes over ODBC handles.

#include <memory>
#include <string>
#include <vector>

#include "dbconn/column_value.h"
#include "dbconn/db_error.h"

namespace qj {

class OdbcConnection;
class OdbcStatement;

class TDatabase {
 public:
  TDatabase();
  ~TDatabase();

  std::string Name = "VELMORANT";
  std::string AliasName = "VELMORANT";
  std::string DatabaseName = "VXDB";
  bool LoginPrompt = false;
  std::string SessionName = "Default";
  std::vector<std::string> Params;  // "NAME=value" lines in stored order

  bool Connected() const;
  // Connects with the data source, user and password of Params; stays open.
  void Open();
  // Warnings that came with successful calls (SQL_SUCCESS_WITH_INFO).
  const std::vector<DiagnosticRecord>& Warnings() const;

  OdbcConnection& Connection();

 private:
  std::unique_ptr<OdbcConnection> connection_;
};

class TQuery {
 public:
  explicit TQuery(TDatabase& database);
  ~TQuery();

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
  // The value of a column of the current row by 0-based index; an index beyond
  // the result's columns raises EDatabaseError.
  const ColumnValue& Field(int index);
  // The statement lines, each followed by CR LF.
  std::string Text() const;

 private:
  TDatabase& database_;
  std::vector<std::string> sql_;
  std::unique_ptr<OdbcStatement> statement_;
};

class Tdm1 {
 public:
  Tdm1();
  ~Tdm1();

  bool OldCreateOrder = false;
  TDatabase VELMORANT;
  TQuery Qry1;
};

}  // namespace qj
