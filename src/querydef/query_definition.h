#pragma once
// Loading one section of the query definition file: the statement template and
// the 30 field definitions.

#include <string>

#include "querydef/profile_reader.h"

namespace qj {

// The query definition file of a run, read once.
struct QueryIniFile {
  // The file read; when none was found, the path beside the executable.
  std::string Path;
  // The path in the system's configuration directory that was looked at
  // because none lay beside the executable; empty otherwise.
  std::string ConfigPath;
  ProfileFile Profile;  // empty when no file was found
};

// The query definition file for a database system: the executable's path with
// its extension (a "." after the last directory separator) replaced by "." +
// dbSys + ".INI".
std::string QueryIniPath(const std::string& executablePath, const std::string& dbSys);

// The query definition file for the executable and database system: the one
// beside the executable, else the one of that name in the system's
// configuration directory.
QueryIniFile FindQueryIni(const std::string& executablePath, const std::string& dbSys);

// Reads the query definition file of the run into the run context, so that
// every section load of the run works on it.
// Reads ctx.DbSys; writes ctx.QueryIni.
void LoadQueryIni();

// Empties the 30 field slots and the record count.
// Writes ctx.Fields, ctx.RecordCount.
void ResetDefinitions();

// Loads a section into the run context. Returns 4 when field 1 is named "0", else 0.
// A missing file or section, keys the tool does not know and used slots
// without a valid type or length are warned about on standard error.
// Reads ctx.DbSys, ctx.QueryIni (the file is read here when the run has not
// read it); writes ctx.StatementTemplate, ctx.Fields.
int GetIniValues(const std::string& sectionName);

// Loads a company section as GetIniValues does. A missing file or section is
// part of the company rules and not warned about, nor is the layout, of
// which only the first name counts; unknown keys are.
int LoadCompanySection(const std::string& sectionName);

}  // namespace qj
