#pragma once
// What the engine tells of one result column of a prepared statement, for
// the layout check: its name, the database's name of its type and the
// number of characters its values may need.

#include <cstdint>
#include <string>

namespace qj {

struct ColumnInfo {
  std::string Name;      // Windows-1252 bytes
  std::string TypeName;  // as the database names it ("VARCHAR", "int4", ...)
  int64_t DisplaySize = 0;  // characters; 0 when the engine cannot tell
};

}  // namespace qj
