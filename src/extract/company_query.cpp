#include "extract/company_query.h"

#include <string>

#include "dbconn/data_module.h"
#include "driver/result_codes.h"
#include "driver/run_context.h"
#include "extract/query_exec.h"
#include "extract/value_text.h"
#include "querydef/query_definition.h"

namespace qj {

namespace {

// Loads a company section and runs its statement for the terminal, counting
// and storing every row. Returns the load's refusal code, else 0.
int CollectCompanies(const std::string& section, const std::string& terminal) {
  ctx.CompanyCount = 0;
  ResetDefinitions();
  const int loaded = LoadCompanySection(section);
  if (loaded != 0) return loaded;

  // The company statement gets no company substitution: a "$parm02" in it
  // reaches the engine unchanged.
  ctx.WorkingStatement = ctx.StatementTemplate;
  for (int row = ReadFirst(terminal); row == 0; row = ReadNext()) {
    ++ctx.CompanyCount;
    StoreCompany();
  }
  return 0;
}

}  // namespace

int ReadCompanyList() {
  int code = CollectCompanies("GETFIR1", ctx.TerminalName);
  if (code != 0) return code;
  if (ctx.CompanyCount != 0) return 0;

  code = CollectCompanies("GETFIR2", "");
  if (code != 0) return code;
  return ctx.CompanyCount != 0 ? 0 : kNoCompany;
}

void StoreCompany() {
  if (ctx.Field(1).Name.empty()) return;
  ctx.StoreCompanyAt(ctx.CompanyCount, ValueText(ctx.dm1->Qry1.Field(0)));
}

}  // namespace qj
