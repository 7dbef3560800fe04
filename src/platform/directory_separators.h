#pragma once

namespace qj {

// The characters that end the directory part of a path in the tool's own path
// rules (the converted ini file beside the target file, the query definition
// file beside the executable): "/" on Linux; "\" and ":" on Windows, where
// "/" is an ordinary character in these rules.
const char* DirectorySeparators();

// The directory of the system's configuration where the query definition
// file is looked for when none lies beside the executable, with its
// separator at the end; empty where the system keeps none.
const char* SystemConfigDirectory();

}  // namespace qj
