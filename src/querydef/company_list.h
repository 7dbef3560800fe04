#pragma once
// The company passes: one company of the list per pass, put into the statement.

namespace qj {

// Advances the company cursor and builds WorkingStatement from the template
// with "$parm02" filled; sets CompanyPlaceholderFound.
// Reads ctx.StatementTemplate, ctx.CompanyList; writes ctx.CompanyCursor,
// ctx.WorkingStatement, ctx.CompanyPlaceholderFound.
void SubstituteCompany();

}  // namespace qj
