// The company substitution: one company of the list per pass.

#include "querydef/company_list.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/run_context.h"
#include "support/run_context_fixture.h"

namespace {

using qj::ctx;

using SubstituteCompany = qjtest::RunContextTest;

TEST_F(SubstituteCompany, OneValuePerCallThenEmpty) {
  const std::string tmpl = " WHERE f IN ('$parm02', '$parm02') AND t = '$parm01' ";
  ctx.StatementTemplate = tmpl;
  ctx.CompanyCount = 2;
  ctx.StoreCompanyAt(1, "0100");
  ctx.StoreCompanyAt(2, "0200");
  for (const char* value : {"0100", "0200", ""}) {  // one past the last value reads as empty
    qj::SubstituteCompany();
    EXPECT_TRUE(ctx.CompanyPlaceholderFound);
    EXPECT_EQ(ctx.WorkingStatement, " WHERE f IN ('" + std::string(value) + "', '" + value + "') AND t = '$parm01' ");
  }
  EXPECT_EQ(ctx.CompanyCursor, 3);
  EXPECT_EQ(ctx.StatementTemplate, tmpl);
  ctx.StatementTemplate = " SELECT '$PARM02', '$parm2' ";
  qj::SubstituteCompany();
  EXPECT_FALSE(ctx.CompanyPlaceholderFound);
  EXPECT_EQ(ctx.WorkingStatement, ctx.StatementTemplate);
}

}  // namespace
