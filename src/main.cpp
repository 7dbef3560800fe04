// qjsqlexe: runs one SQL statement and builds a download file from its rows.

#include <exception>
#include <string>

#include "driver/console.h"
#include "driver/run_sequence.h"

namespace {

// The diagnostic of an abnormal end is one line: engine messages may hold line breaks.
int AbnormalEnd(std::string what) {
  for (char& c : what) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  qj::Console::Err("qjsqlexe: " + what + "\n");
  qj::Console::Flush();
  return qj::kExitAbnormalEnd;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return qj::RunMain(argc, argv);
  } catch (const std::exception& e) {
    // A failure that no step turns into a result code: report it and end
    // without touching the download file.
    return AbnormalEnd(e.what());
  } catch (...) {
    return AbnormalEnd("unbekannter Fehler");
  }
}
