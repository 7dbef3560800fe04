// Times the sort of a run's records: reads a download file of fixed-width
// records, hands them in a shuffled order to the output list exactly as the
// row loop does (RecordLine, then AddRecordLine) and sorts them with
// SortOutputLines. The records of the benchmark download are unique, so the
// sorted list must equal the download file byte for byte; the program checks
// that and fails otherwise.
//
//   sort_bench DOWNLOAD-FILE RECORD-WIDTH
// Prints the time of the adds and of the sort; the collation locale comes
// from the environment as in a run.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "driver/run_context.h"
#include "extract/line_list.h"
#include "extract/output_file.h"
#include "platform/text_util.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: sort_bench DOWNLOAD-FILE RECORD-WIDTH\n");
    return 2;
  }
  const qj::FileBytes read = qj::ReadWholeFile(argv[1]);
  const std::string& file = read.bytes;
  const size_t width = std::strtoul(argv[2], nullptr, 10);
  if (!read.complete) return 1;
  if (width == 0 || file.empty() || file.size() % width != 0) {
    std::fprintf(stderr, "sort_bench: %zu bytes are no whole number of %zu-byte records\n", file.size(), width);
    return 1;
  }
  std::vector<std::string> records;
  records.reserve(file.size() / width);
  for (size_t at = 0; at < file.size(); at += width) records.push_back(file.substr(at, width));
  std::mt19937 random(20261208);
  std::shuffle(records.begin(), records.end(), random);

  const auto addStart = std::chrono::steady_clock::now();
  for (std::string& record : records) {
    qj::ctx.RecordLine = std::move(record);
    qj::AddRecordLine();
  }
  const double addSeconds = SecondsSince(addStart);
  const auto sortStart = std::chrono::steady_clock::now();
  qj::SortOutputLines();
  const double sortSeconds = SecondsSince(sortStart);

  std::string sorted;
  sorted.reserve(file.size());
  for (const auto& line : qj::ctx.OutputLines->Refs()) sorted.append(line.data, line.size);
  if (sorted != file) {
    std::fprintf(stderr, "sort_bench: the sorted records differ from the download file\n");
    return 1;
  }
  std::printf("%zu records: add %.3f s, sort %.3f s, together %.3f s\n", records.size(), addSeconds, sortSeconds,
              addSeconds + sortSeconds);
  return 0;
}
