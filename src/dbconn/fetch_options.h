#pragma once
// How far the engine may go beyond SQLFetch + SQLGetData.

namespace qj {

// Both ways are on by default and still need the driver's support; tests and
// measurements turn them off to reach the plainer ways of fetching.
struct FetchOptions {
  bool bindColumns = true;  // bound buffers (else every value by SQLGetData)
  bool blockFetch = true;   // more than one row per fetch
  bool driverText = true;   // bound values as the driver's own text where it keeps them so
};

}  // namespace qj
