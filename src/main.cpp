// qjsqlexe: runs one SQL statement and builds a download file from its rows.

#include <exception>
#include <string>

#include "driver/console.h"
#include "driver/run_sequence.h"

int main(int argc, char** argv) {
  try {
    return qj::RunMain(argc, argv);
  } catch (const std::exception& e) {
    // A failure that no step turns into a result code: report it in one line
    // and end without touching the download file.
    qj::Console::Err(std::string("qjsqlexe: ") + e.what() + "\n");
    qj::Console::Flush();
    return qj::kExitAbnormalEnd;
  } catch (...) {
    qj::Console::Err("qjsqlexe: unbekannter Fehler\n");
    qj::Console::Flush();
    return qj::kExitAbnormalEnd;
  }
}
