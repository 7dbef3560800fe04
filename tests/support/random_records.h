#pragma once
// Random lines for the sort tests.

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace qjtest {

// Lines like the records of a download: a name field of words in mixed
// case, with umlauts and sharp s, often repeated with other letter case or
// accents, then digits, blanks and punctuation.
std::vector<std::string> RandomRecords(std::mt19937& rng, size_t count);

}  // namespace qjtest
