#pragma once
// The layout check `qjsqlexe --check Sektionsname Terminalname Zieldatei`:
// a run up to the prepare of the requested statement and the description of
// its result, without fetching a row of it or touching any file, reported on
// standard output with every problem it finds.

#include <array>
#include <string>
#include <vector>

#include "dbconn/column_info.h"
#include "dbconn/converted_ini.h"
#include "driver/run_context.h"

namespace qj {

// The problems of a field layout against the columns of its result: used
// slots beyond the columns, negative lengths, columns whose values may be
// longer than their CHAR, TXT or DEC field. One text each, in slot order.
std::vector<std::string> FieldProblems(const std::array<FieldDefinition, kFieldSlots>& fields,
                                       const std::vector<ColumnInfo>& columns);

// The records of the converted ini file that would answer every lookup of
// the database parameters (an empty header text, or the number 0), each
// named by its line in the file at `path` and by the lookups it answers
// instead of their own records.
std::vector<std::string> CatchAllRecordProblems(const ConvertedIniFile& file, const std::string& path);

// The report's table of the used slots with the columns they read, one line
// each after a heading, the columns aligned.
std::vector<std::string> SlotTable(const std::array<FieldDefinition, kFieldSlots>& fields,
                                   const std::vector<ColumnInfo>& columns);

// The width of every record: the lengths of the used CHAR, DEC and TXT slots
// (a negative length counts as 0).
int64_t RecordWidth(const std::array<FieldDefinition, kFieldSlots>& fields);

// The check over the three words after "--check". Returns 0 (nothing found),
// 10 (a problem found) or the code of the run's step that stopped it
// (5, 99, 4, 6, 9).
int LayoutCheck(const std::string& sectionName, const std::string& terminalName, const std::string& targetFile);

}  // namespace qj
