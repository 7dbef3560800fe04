#pragma once
// All console output of the tool passes through this writer, so that tests can
// capture exactly what a run printed.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qj {

// An argument for a "%s" or "%i" of a message text.
class FormatArg {
 public:
  FormatArg(std::string_view text) : text_(text), is_number_(false) {}  // NOLINT(runtime/explicit)
  FormatArg(const std::string& text) : text_(text), is_number_(false) {}  // NOLINT(runtime/explicit)
  FormatArg(const char* text) : text_(text), is_number_(false) {}  // NOLINT(runtime/explicit)
  FormatArg(int32_t number) : number_(number), is_number_(true) {}  // NOLINT(runtime/explicit)
  FormatArg(int64_t number) : number_(number), is_number_(true) {}  // NOLINT(runtime/explicit)

  void AppendTo(std::string& out) const;

 private:
  std::string_view text_;
  int64_t number_ = 0;
  bool is_number_;
};

// Fills the message text: each "%s" or "%i" takes the next argument. The
// arguments are copied as they are; nothing in them is read as a format.
std::string FormatMessageText(std::string_view format, std::initializer_list<FormatArg> args = {});

class Console {
 public:
  // Standard output, exact bytes.
  static void Out(std::string_view text);
  // Standard error (diagnostics of an abnormal end, cut-value warnings).
  static void Err(std::string_view text);
  static void Flush();
  // The error of the first failed write to standard output (closed, full,
  // a broken pipe), or 0.
  static int OutError();

  // Tests: send output into strings instead of the real streams; nullptr
  // restores the real stream.
  static void CaptureForTest(std::string* out, std::string* err);
};

// While one exists, what the steps print is kept here instead of written:
// standard output as its bytes, standard error line by line without the
// "qjsqlexe: " in front. The layout check reports it in its own words.
class ConsoleCollector {
 public:
  ConsoleCollector();
  ~ConsoleCollector();
  ConsoleCollector(const ConsoleCollector&) = delete;
  ConsoleCollector& operator=(const ConsoleCollector&) = delete;

  std::string out;
  std::vector<std::string> errorLines;

 private:
  ConsoleCollector* previous_;
};

// A message text with its arguments, on standard output.
void Print(std::string_view format, std::initializer_list<FormatArg> args = {});

// One diagnostic line on standard error: "qjsqlexe: " and the text, whose
// line breaks (engine messages, values read from files) become blanks.
void ErrorLine(std::string_view text);

// A trace line: printed only while the trace switch is on.
void Trace(std::string_view format, std::initializer_list<FormatArg> args = {});

}  // namespace qj
