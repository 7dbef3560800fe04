#include "driver/console.h"

#include <cerrno>
#include <cstdio>

#include "driver/run_context.h"

namespace qj {

namespace {
std::string* g_captured_out = nullptr;
std::string* g_captured_err = nullptr;
int g_out_error = 0;
ConsoleCollector* g_collector = nullptr;

constexpr std::string_view kDiagnosticPrefix = "qjsqlexe: ";

void CollectErrorText(std::string_view text, std::vector<std::string>& lines) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.substr(0, kDiagnosticPrefix.size()) == kDiagnosticPrefix) line.remove_prefix(kDiagnosticPrefix.size());
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

void NoteOutError() {
  if (g_out_error == 0) g_out_error = errno != 0 ? errno : EIO;
}
}  // namespace

void FormatArg::AppendTo(std::string& out) const {
  if (is_number_) {
    out += std::to_string(number_);
  } else {
    out.append(text_.data(), text_.size());
  }
}

std::string FormatMessageText(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 32);
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'i') &&
        next != args.end()) {
      next->AppendTo(out);
      ++next;
      ++i;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

void Console::Out(std::string_view text) {
  if (g_collector != nullptr) {
    g_collector->out.append(text.data(), text.size());
    return;
  }
  if (g_captured_out != nullptr) {
    g_captured_out->append(text.data(), text.size());
    return;
  }
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) NoteOutError();
}

void Console::Err(std::string_view text) {
  if (g_collector != nullptr) {
    CollectErrorText(text, g_collector->errorLines);
    return;
  }
  if (g_captured_err != nullptr) {
    g_captured_err->append(text.data(), text.size());
    return;
  }
  // Keep what the run printed so far ahead of the diagnostic on a shared terminal.
  if (std::fflush(stdout) != 0) NoteOutError();
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void Console::Flush() {
  if (std::fflush(stdout) != 0) NoteOutError();
  std::fflush(stderr);
}

int Console::OutError() { return g_out_error; }

void Console::CaptureForTest(std::string* out, std::string* err) {
  g_captured_out = out;
  g_captured_err = err;
}

ConsoleCollector::ConsoleCollector() : previous_(g_collector) { g_collector = this; }

ConsoleCollector::~ConsoleCollector() { g_collector = previous_; }

void Print(std::string_view format, std::initializer_list<FormatArg> args) {
  if (args.size() == 0) {
    Console::Out(format);
  } else {
    Console::Out(FormatMessageText(format, args));
  }
}

void ErrorLine(std::string_view text) {
  std::string line(kDiagnosticPrefix);
  line.append(text);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  line += '\n';
  Console::Err(line);
}

void Trace(std::string_view format, std::initializer_list<FormatArg> args) {
  if (ctx.TraceMode) Print(format, args);
}

}  // namespace qj
