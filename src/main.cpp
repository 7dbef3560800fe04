// qjsqlexe: runs one SQL statement and builds a download file from its rows.

#include <cstring>
#include <exception>
#include <string>
#include <string_view>

#include "driver/console.h"
#include "driver/database_text.h"
#include "driver/result_codes.h"
#include "driver/run_sequence.h"
#include "platform/process_setup.h"
#include "platform/signals.h"

namespace {

// Standard output that could not be written (closed, full, a broken pipe)
// gets its own exit code, so that a batch job does not take a written
// download for a failed one and append it again; a download not written
// keeps its 7.
int ReportConsoleFailure(int code) {
  const int error = qj::Console::OutError();
  if (error == 0) return code;
  qj::Console::Err(std::string("qjsqlexe: Standardausgabe nicht geschrieben: ") + std::strerror(error) + "\n");
  qj::Console::Flush();
  // Only a run that would have ended well says "written, do not run again":
  // any other result keeps its own code.
  return code == qj::kExitDone ? qj::kExitConsoleNotWritten : code;
}

// The diagnostic of an abnormal end is one line: engine messages may hold
// line breaks. It may carry database text (an engine message, a field name),
// which goes out in the locale's character set; the tool's own texts are ASCII.
int AbnormalEnd(std::string_view cp1252) {
  qj::ErrorLine(qj::DatabaseText(cp1252));
  qj::Console::Flush();
  return ReportConsoleFailure(qj::kExitAbnormalEnd);
}

}  // namespace

int main(int argc, char** argv) {
  qj::KeepStandardDescriptorsOpen();
  qj::IgnoreWriteSignals();
  try {
    return ReportConsoleFailure(qj::RunMain(argc, argv));
  } catch (const std::exception& e) {
    // A failure that no step turns into a result code: report it and end
    // without touching the download file.
    return AbnormalEnd(e.what());
  } catch (...) {
    return AbnormalEnd("unbekannter Fehler");
  }
}
