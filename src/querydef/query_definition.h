#pragma once
// Loading one section of the query definition file: the statement template and
// the 30 field definitions.

#include <string>

namespace qj {

// The query definition file for a database system: the executable's path with
// its extension (a "." after the last directory separator) replaced by "." +
// dbSys + ".INI".
std::string QueryIniPath(const std::string& executablePath, const std::string& dbSys);

// Empties the 30 field slots and the record count.
// Writes ctx.Fields, ctx.RecordCount.
void ResetDefinitions();

// Loads a section into the run context. Returns 4 when field 1 is named "0", else 0.
// Reads ctx.DbSys; writes ctx.StatementTemplate, ctx.Fields.
int GetIniValues(const std::string& sectionName);

}  // namespace qj
