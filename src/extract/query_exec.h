#pragma once

#include <string>

namespace qj {

// Fills "$parm01" with the terminal, prepares, opens and positions on the first
// row. Returns 0 on a row, 23 without (also after a reported engine error).
// Reads ctx.TraceMode; reads and writes ctx.WorkingStatement, ctx.dm1->Qry1;
// writes ctx.RowFound, ctx.StatementRejected.
int ReadFirst(const std::string& terminal);

// Moves to the next row. Returns 0 on a row, 23 at the end.
// Reads ctx.dm1->Qry1; writes ctx.RowFound.
int ReadNext();

}  // namespace qj
