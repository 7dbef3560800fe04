#pragma once
// libpq, loaded when the first PostgreSQL connection is made instead of at
// start: with the libraries it pulls in (TLS, Kerberos, LDAP) it would add
// more to a short SQLite or ODBC download's start than all its other work.

#include <libpq-fe.h>

namespace qj {

// The libpq functions the PostgreSQL engine calls, under their own names.
#define QJ_LIBPQ_FUNCTIONS(X)                                                                                       \
  X(PQcancel) X(PQclear) X(PQconnectdbParams) X(PQconninfoFree) X(PQconninfoParse) X(PQdescribePrepared)           \
  X(PQerrorMessage) X(PQexec) X(PQfinish) X(PQfmod) X(PQfname) X(PQfreeCancel) X(PQfreemem) X(PQftype)             \
  X(PQgetCancel) X(PQgetResult) X(PQgetisnull) X(PQgetlength) X(PQgetvalue) X(PQnfields) X(PQprepare)              \
  X(PQresultErrorField) X(PQresultErrorMessage) X(PQresultStatus) X(PQsendQueryPrepared) X(PQsetNoticeProcessor)   \
  X(PQsetSingleRowMode) X(PQstatus) X(PQtransactionStatus)

struct LibPq {
#define QJ_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
  QJ_LIBPQ_FUNCTIONS(QJ_LIBPQ_MEMBER)
#undef QJ_LIBPQ_MEMBER
};

// The functions of the library of that file name. Throws std::runtime_error
// naming the library and what is missing when it cannot be loaded.
LibPq OpenLibPq(const char* fileName);

// The run's libpq ("libpq.so.5"), loaded at the first call and kept. A call
// after a failed load tries again.
inline const LibPq& Pq() {
  static const LibPq functions = OpenLibPq("libpq.so.5");
  return functions;
}

}  // namespace qj
