// Column bindings and the values built from fixed-length C types.

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>

#include "dbconn/column_binding.h"
#include "extract/value_text.h"

namespace {

TEST(ColumnBindingTest, SingleAndUnsignedValuesKeepTheirDigits) {
  qj::ColumnValue v;
  for (const auto& [f, text] : {std::pair{0.1f, "0.1"}, {3.25f, "3.25"}, {-16777216.0f, "-16777216"},
                                {FLT_MAX, "3.4028235E38"}, {1e-7f, "1E-7"}}) {
    unsigned char element[sizeof(float)];
    std::memcpy(element, &f, sizeof f);
    qj::FillFixedValue(qj::ValueKind::Float, SQL_C_FLOAT, element, v);
    v.kind = qj::ValueKind::Float;
    EXPECT_EQ(qj::ValueText(v), text);
  }
  for (const auto& [n, cType, text] :
       {std::tuple{~uint64_t{0}, SQL_C_UBIGINT, "18446744073709551615"}, {~uint64_t{0}, SQL_C_SBIGINT, "-1"},
        {uint64_t{1} << 63, SQL_C_UBIGINT, "9223372036854775808"}, {uint64_t{0}, SQL_C_UBIGINT, "0"}}) {
    unsigned char element[sizeof n];
    std::memcpy(element, &n, sizeof n);
    qj::FillFixedValue(qj::ValueKind::Integer, static_cast<SQLSMALLINT>(cType), element, v);
    v.kind = qj::ValueKind::Integer;
    EXPECT_EQ(qj::ValueText(v), text);
  }
}

TEST(ColumnBindingTest, BindingsAndWhichValuesMayOutgrowTheirBuffers) {
  qj::BoundColumn c;
  const auto bind = [&c](SQLSMALLINT type, SQLULEN size, bool driverText, bool isUnsigned = false,
                         bool datesAsText = false, bool numbersAsText = false) {
    c.sqlType = type;
    c.declaredSize = size;
    c.isUnsigned = isUnsigned;
    qj::ChooseBinding(c, driverText, datesAsText, numbersAsText);
    return c.binding;
  };
  EXPECT_EQ(bind(SQL_TYPE_TIME, 8, false), qj::Binding::PlainText);
  EXPECT_EQ(bind(SQL_TYPE_TIME, 8, true), qj::Binding::TypedText);
  for (const SQLSMALLINT type : {SQL_TYPE_DATE, SQL_TYPE_TIMESTAMP}) {
    EXPECT_EQ(bind(type, 10, false), qj::Binding::Fixed);
    EXPECT_EQ(bind(type, 10, false, false, true), qj::Binding::PlainText);
    EXPECT_EQ(c.cType, SQL_C_CHAR);
    EXPECT_FALSE(qj::MayOutgrowBuffer(c)) << "a date's text fits its buffer";
    EXPECT_EQ(bind(type, 10, true, false, true), qj::Binding::TypedText);
  }
  EXPECT_EQ(bind(SQL_BIGINT, 20, false, true), qj::Binding::Fixed);
  EXPECT_EQ(c.cType, SQL_C_UBIGINT);
  EXPECT_EQ(bind(SQL_REAL, 7, false), qj::Binding::Fixed);
  EXPECT_EQ(c.cType, SQL_C_FLOAT);
  EXPECT_EQ(c.elementBytes, static_cast<SQLLEN>(sizeof(float)));
  EXPECT_EQ(bind(SQL_BIT, 1, true), qj::Binding::Fixed);
  EXPECT_FALSE(qj::MayOutgrowBuffer(c));
  bind(SQL_WVARCHAR, 20, false);
  EXPECT_FALSE(qj::MayOutgrowBuffer(c));
  for (const auto& [type, size] : {std::pair{SQL_WVARCHAR, 512}, {SQL_WLONGVARCHAR, 0}, {SQL_VARBINARY, 1025}}) {
    bind(static_cast<SQLSMALLINT>(type), static_cast<SQLULEN>(size), false);
    EXPECT_TRUE(qj::MayOutgrowBuffer(c)) << type << " " << size;
  }
  bind(SQL_VARBINARY, 1024, false);
  EXPECT_FALSE(qj::MayOutgrowBuffer(c));
  bind(SQL_INTEGER, 10, true);
  EXPECT_TRUE(qj::MayOutgrowBuffer(c));  // a text not in plain form goes to the driver
  // Numbers as the driver's text: bound as text, the C type kept for the
  // driver's own conversion of a text not in plain form.
  for (const auto& [type, cType] : {std::pair{SQL_INTEGER, SQL_C_SBIGINT}, {SQL_BIGINT, SQL_C_SBIGINT},
                                    {SQL_DOUBLE, SQL_C_DOUBLE}, {SQL_NUMERIC, SQL_C_DOUBLE}}) {
    EXPECT_EQ(bind(static_cast<SQLSMALLINT>(type), 10, false, false, true, true), qj::Binding::NumberText) << type;
    EXPECT_EQ(c.cType, cType);
    EXPECT_EQ(qj::BoundCType(c), SQL_C_CHAR);
    EXPECT_TRUE(qj::MayOutgrowBuffer(c));
  }
  EXPECT_EQ(bind(SQL_BIGINT, 20, false, true, true, true), qj::Binding::Fixed) << "unsigned keeps its C type";
  EXPECT_EQ(bind(SQL_REAL, 7, false, false, true, true), qj::Binding::Fixed);
  EXPECT_EQ(qj::BoundCType(c), SQL_C_FLOAT);
  EXPECT_EQ(bind(SQL_INTEGER, 10, true, false, true, true), qj::Binding::TypedText);
}

}  // namespace
