#pragma once

namespace qj {

// DirectorySeparators: the characters that end the directory part of a path
// in the tool's own path rules (the converted ini file beside the target
// file, the query definition file beside the executable): "/" on Linux; "\"
// and ":" on Windows, where "/" is an ordinary character in these rules.
//
// SystemConfigDirectory: the directory of the system's configuration where
// the query definition file is looked for when none lies beside the
// executable, with its separator at the end; empty on Windows, where the
// file lies beside the executable only.
#ifdef _WIN32
inline const char* DirectorySeparators() { return "\\:"; }
inline const char* SystemConfigDirectory() { return ""; }
#else
inline const char* DirectorySeparators() { return "/"; }
inline const char* SystemConfigDirectory() { return "/etc/qjsqlexe/"; }
#endif

}  // namespace qj
