// libpq loaded at the first PostgreSQL connection: every function found, and
// a library that is missing or is not libpq named in the failure.

#include "dbconn/libpq_library.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

std::string LoadFailure(const char* fileName) {
  try {
    qj::OpenLibPq(fileName);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "";
}

TEST(LibPqLibrary, TheSystemsLibpqHasEveryFunction) {
  const qj::LibPq& pq = qj::Pq();
#define QJ_EXPECT_LOADED(name) EXPECT_NE(pq.name, nullptr) << #name;
  QJ_LIBPQ_FUNCTIONS(QJ_EXPECT_LOADED)
#undef QJ_EXPECT_LOADED
  EXPECT_EQ(&qj::Pq(), &pq);
  PQconninfoOption* options = pq.PQconninfoParse("user=qj", nullptr);
  ASSERT_NE(options, nullptr);
  pq.PQconninfoFree(options);
}

TEST(LibPqLibrary, AMissingLibraryOrOneWithoutLibpqsFunctionsIsNamed) {
  const std::string missing = LoadFailure("libqj-no-such-library.so.1");
  EXPECT_EQ(missing.rfind("libqj-no-such-library.so.1 nicht ladbar: ", 0), 0u) << missing;
  EXPECT_NE(missing.find("No such file"), std::string::npos) << missing;

  const std::string other = LoadFailure("libm.so.6");
  EXPECT_EQ(other.rfind("libm.so.6 ohne die Funktion PQcancel: ", 0), 0u) << other;
}

}  // namespace
