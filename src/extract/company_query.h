#pragma once
// The company list: the sections GETFIR1 / GETFIR2 run for the terminal, one
// company per row.

namespace qj {

// Returns 0 (companies found), 96 (none) or 4 (a company section is disabled).
// Reads ctx.TerminalName, ctx.DbSys; writes ctx.CompanyCount, ctx.CompanyList,
// the statement and field slots of the company section and ctx.dm1->Qry1.
int ReadCompanyList();

// Stores the text form of column 0 of the current row at position CompanyCount,
// when field 1 of the company section has a name.
// Reads ctx.Fields, ctx.CompanyCount, ctx.dm1->Qry1; writes ctx.CompanyList.
void StoreCompany();

}  // namespace qj
