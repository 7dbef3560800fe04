#pragma once
// The login values (LOGIN and PASS of the converted ini file) in a connection
// string: which drivers read a value in braces, and which values must be
// refused because the driver would read them as further attributes or in a
// changed form.

#include <string>
#include <string_view>
#include <vector>

namespace qj {

// A connection-string value that is written in braces ("}" doubled): it holds
// ";", "{" or "}", or starts or ends with a blank.
bool NeedsBraceQuoting(std::string_view value);

// Whether a driver takes a braced UID or PWD value as the value inside the
// braces. A driver not known to do so gets no value that needs braces.
struct BraceQuoting {
  bool user = false;
  bool password = false;
  // Whether a braced value keeps the blanks at its start and end.
  bool edgeBlanks = true;
};

// The quoting of the driver with this library file (a path or file name).
BraceQuoting BraceQuotingOfDriver(std::string_view driverLibrary);

// The library file of every driver that a connection string names, as the
// driver manager knows them: one per DRIVER= (a driver name or a library
// path) and one per DSN= (empty for a data source it does not know).
std::vector<std::string> DriverLibrariesOf(std::string_view connectionString);

// The quoting that every driver the connection string names shares: the
// driver manager picks one of them by the order of the attributes, so a
// value is quoted only when each of them would read it right. A string
// naming no driver gets none.
BraceQuoting BraceQuotingOfConnection(std::string_view connectionString);

// Which login value the driver cannot receive safely when it is appended to
// the connection string: "LOGIN", "PASS", or empty when both are safe.
std::string UnsafeLoginValue(const BraceQuoting& quoting, std::string_view user, std::string_view password);

// The connection string with the value of every PWD= and PASSWORD= attribute
// replaced by "********"; everything else stays as it is.
std::string MaskedConnectionString(std::string_view connectionString);

}  // namespace qj
