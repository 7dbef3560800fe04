#pragma once
// The shared console texts: the framed banner, the usage text and the error
// frame that steps print around their messages when they reject their input.

#include <initializer_list>
#include <string_view>

namespace qj {

// The owner notice in line 3 of the banner.
inline constexpr std::string_view kOwnerNotice = "Copyright (c) 2026 the qjsqlexe authors";

void ShowBanner();
void ShowUsage();
// "--help": the banner, the usage text, the trace switch and the exit codes.
void ShowHelp();
// "--version": the tool's name and version on one line.
void ShowVersion();

// Banner, the message lines, one empty line and the usage text.
void ShowErrorFrame(std::initializer_list<std::string_view> messageLines);

}  // namespace qj
