#include "dbconn/odbc_adapter.h"

#include "dbconn/odbc_engine.h"
#include "platform/code_page.h"

namespace qj {

namespace {

class OdbcEngineStatement : public EngineStatement {
 public:
  OdbcEngineStatement(OdbcConnection& connection, const FetchOptions& options) : statement_(connection, options) {}

  void Prepare(std::string_view statement) override { statement_.Prepare(statement); }
  std::vector<ColumnInfo> Describe() override;
  void Execute() override { statement_.Execute(); }
  void CloseCursor() override { statement_.CloseCursor(); }
  bool First() override { return statement_.First(); }
  bool Next() override { return statement_.Next(); }
  bool Executed() const override { return statement_.Executed(); }
  int ColumnCount() const override { return statement_.ColumnCount(); }
  const ColumnValue& Value(int index) override { return statement_.Value(index); }
  bool Capture(int index, CapturedValue& out) override { return statement_.Capture(index, out); }
  void BuildCaptured(const CapturedValue& captured, ColumnValue& out) const override {
    statement_.BuildCaptured(captured, out);
  }
  size_t RowsetSize() const override { return statement_.RowsetSize(); }
  bool ColumnsBound() const override { return statement_.ColumnsBound(); }

 private:
  OdbcStatement statement_;
};

// A wide text of at most room characters as Windows-1252.
std::string NarrowText(const SQLWCHAR* text, SQLSMALLINT bytes) {
  const size_t chars = bytes > 0 ? static_cast<size_t>(bytes) / sizeof(SQLWCHAR) : 0;
  std::u16string wide;
  for (size_t i = 0; i < chars && text[i] != 0; ++i) wide += static_cast<char16_t>(text[i]);
  return Utf16ToCp1252(wide);
}

std::vector<ColumnInfo> OdbcEngineStatement::Describe() {
  const SQLHANDLE stmt = statement_.Handle().get();
  SQLSMALLINT count = 0;
  Check(SQLNumResultCols(stmt, &count), statement_.Handle(), "SQLNumResultCols");
  std::vector<ColumnInfo> columns(static_cast<size_t>(count > 0 ? count : 0));
  for (SQLSMALLINT i = 0; i < count; ++i) {
    ColumnInfo& info = columns[static_cast<size_t>(i)];
    const auto number = static_cast<SQLUSMALLINT>(i + 1);
    SQLWCHAR text[256] = {0};
    SQLSMALLINT length = 0;
    Check(SQLColAttributeW(stmt, number, SQL_DESC_NAME, text, sizeof text, &length, nullptr), statement_.Handle(),
          "SQLColAttribute");
    info.Name = NarrowText(text, std::min<SQLSMALLINT>(length, sizeof text - sizeof(SQLWCHAR)));
    length = 0;
    if (SQL_SUCCEEDED(SQLColAttributeW(stmt, number, SQL_DESC_TYPE_NAME, text, sizeof text, &length, nullptr))) {
      info.TypeName = NarrowText(text, std::min<SQLSMALLINT>(length, sizeof text - sizeof(SQLWCHAR)));
    }
    SQLLEN size = 0;
    if (SQL_SUCCEEDED(SQLColAttributeW(stmt, number, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr, &size)) && size > 0) {
      info.DisplaySize = size;
    }
  }
  return columns;
}

class OdbcEngineConnection : public EngineConnection {
 public:
  explicit OdbcEngineConnection(const ConnectTarget& target) { connection_.Connect(target); }
  EngineKind Kind() const override { return EngineKind::Odbc; }
  std::unique_ptr<EngineStatement> NewStatement(const FetchOptions& options) override {
    return std::make_unique<OdbcEngineStatement>(connection_, options);
  }

 private:
  OdbcConnection connection_;
};

}  // namespace

std::unique_ptr<EngineConnection> ConnectOdbc(const ConnectTarget& target) {
  return std::make_unique<OdbcEngineConnection>(target);
}

}  // namespace qj
