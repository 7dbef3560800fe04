#include "querydef/company_list.h"

#include "driver/run_context.h"
#include "querydef/placeholder.h"

namespace qj {

void SubstituteCompany() {
  ++ctx.CompanyCursor;
  ctx.WorkingStatement = ctx.StatementTemplate;
  ctx.CompanyPlaceholderFound = false;
  if (ReplacePlaceholder(ctx.WorkingStatement, kCompanyPlaceholder, ctx.CompanyAt(ctx.CompanyCursor))) {
    ctx.CompanyPlaceholderFound = true;
  }
}

}  // namespace qj
