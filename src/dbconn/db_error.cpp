#include "dbconn/db_error.h"

#include <utility>

namespace qj {

EDatabaseError::EDatabaseError(std::vector<DiagnosticRecord> records)
    : std::runtime_error(MessageOf(records)), records_(std::move(records)) {}

std::string EDatabaseError::MessageOf(const std::vector<DiagnosticRecord>& records) {
  std::string message;
  for (const DiagnosticRecord& r : records) {
    if (!message.empty()) message += '\n';
    message += '[';
    message += r.SqlState;
    message += "] ";
    message += r.Text;
  }
  return message;
}

void ThrowOwnError(const char* state, const std::string& text) {
  throw EDatabaseError(std::vector<DiagnosticRecord>{{state, 0, text}});
}

}  // namespace qj
