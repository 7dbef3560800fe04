#pragma once
// The engine's error class: every ODBC diagnostic record of the failed call.

#include <stdexcept>
#include <string>
#include <vector>

namespace qj {

struct DiagnosticRecord {
  std::string SqlState;
  long NativeError = 0;
  std::string Text;  // Windows-1252 bytes
};

// An engine error. Its message (what()) lists every diagnostic record in the
// order the driver gave them, each as "[SQLSTATE] text", joined by "\n", with
// no line end after the last one. Errors the tool detects itself use
// SQLSTATE-like codes of the same form (07005 statement without result
// columns, 07009 column index beyond the result, 24000 no current row).
class EDatabaseError : public std::runtime_error {
 public:
  explicit EDatabaseError(std::vector<DiagnosticRecord> records);

  const std::vector<DiagnosticRecord>& Records() const { return records_; }

  // The message text built from the records as described above.
  static std::string MessageOf(const std::vector<DiagnosticRecord>& records);

 private:
  std::vector<DiagnosticRecord> records_;
};

// An error the tool detects itself, with its SQLSTATE-like code, as one record.
[[noreturn]] void ThrowOwnError(const char* state, const std::string& text);

// The connection to the database could not be opened (server down, login
// refused, unknown data source, login timeout). A batch job may retry the
// run later; a rejected statement it may not.
class EConnectionError : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

}  // namespace qj
