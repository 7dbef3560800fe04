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

class EDatabaseError : public std::runtime_error {
 public:
  EDatabaseError(const std::string& message, std::vector<DiagnosticRecord> records);

  const std::vector<DiagnosticRecord>& Records() const { return records_; }

 private:
  std::vector<DiagnosticRecord> records_;
};

}  // namespace qj
