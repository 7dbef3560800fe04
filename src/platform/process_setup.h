#pragma once

#include <cstddef>

namespace qj {

// Allocations of at least this many bytes get memory of their own from the
// system (PrepareProcess), which goes back to it when they are freed.
constexpr size_t kOwnMappingBytes = size_t{1} << 20;

// Process-wide settings made once at start: LC_CTYPE "C.UTF-8" so that the
// driver manager converts Unicode correctly for drivers without wide entry
// points (number and date texts never come from the C library's locale),
// and large allocations in memory of their own (kOwnMappingBytes).
void PrepareProcess();

// Opens /dev/null, for reading only, on each of the standard descriptors 0, 1
// and 2 that the caller left closed, before the process opens any file or
// socket: otherwise the first one opened (the database connection, the
// download file) would take its number and receive the console output.
// Writing to them still fails. Called first in main.
void KeepStandardDescriptorsOpen();

}  // namespace qj
