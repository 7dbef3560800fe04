#pragma once

#include <string>

namespace qj {

// Path of the converted ini file: the directory part of the target file (up to
// and including its last directory separator, "/" on Linux, "\" or ":" on
// Windows) followed by "QJDNL00P.TXT".
std::string ConvertedIniPath(const std::string& targetFile);

// The path made absolute against the working directory and normalised, so
// that a message tells a misplaced file from a missing directory; the path
// as given when that fails.
std::string AbsolutePath(const std::string& path);

// Finds the four database parameters and writes them into the connection's
// parameter list and alias. Returns 0, 5 (parameter missing) or 99 (file not found).
// Reads ctx.TargetFile; writes ctx.DbSys and ctx.dm1->VELMORANT.
int SetDbUsr();

}  // namespace qj
