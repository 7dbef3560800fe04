#include "support/random_records.h"

namespace qjtest {

std::vector<std::string> RandomRecords(std::mt19937& rng, size_t count) {
  static const std::vector<std::string> words = {
      "M\xFCller", "MUELLER", "m\xFClLer", "Meier", "meier", "MEIER", "Mei\xDF", "Meiss", "\xD6l", "ol", "Ol",
      "Stra\xDF" "e", "STRASSE", "Caf\xE9", "cafe", "L\xB7l", "Ch", "ch", "-", "&", "'", "0", "42", "a.b", "\xC4",
      "a",       "A",       "Z",        "z",     " ",     "  ",    "\t",   "K\xF6nig", "koenig"};
  std::vector<std::string> lines;
  lines.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (!lines.empty() && rng() % 4 == 0) {
      // An earlier line again, changed in one letter's case or accent.
      std::string line = lines[rng() % lines.size()];
      for (char& c : line) {
        if (rng() % 6 != 0) continue;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        else if (c == '\xFC') c = 'u';
        else if (c == 'o') c = '\xF6';
      }
      lines.push_back(line);
      continue;
    }
    std::string line;
    const size_t n = 1 + rng() % 6;
    for (size_t k = 0; k < n; ++k) line += words[rng() % words.size()] + (rng() % 2 ? " " : "");
    line.resize(24 + rng() % 12, ' ');  // a name field, then the rest of the record
    line += std::to_string(rng() % 1000) + (rng() % 3 == 0 ? "-" : ",") + std::to_string(rng() % 100);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace qjtest
