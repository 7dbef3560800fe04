#pragma once
// Which bytes are UTF-8 and which are Windows-1252: the rules for the command
// line words and for the two files the tool reads.

#include <cstddef>
#include <string>
#include <string_view>

namespace qj {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// A word as Windows-1252: a valid UTF-8 word holding non-ASCII is converted,
// every other word keeps its bytes. `replaced` counts the characters that
// Windows-1252 cannot hold and that became "?".
std::string WordAsCp1252(std::string_view word, size_t& replaced);

// Valid UTF-8 as Windows-1252; `replaced` counts the characters that
// Windows-1252 cannot hold and that became "?".
std::string Utf8TextAsCp1252(std::string_view utf8, size_t& replaced);

// Whether a query definition file or converted ini file is UTF-8: it starts
// with a UTF-8 byte order mark, or is valid UTF-8 holding non-ASCII.
bool StoredTextIsUtf8(std::string_view bytes);

// The UTF-8 byte order mark at the start of the bytes, if any, dropped.
std::string_view WithoutByteOrderMark(std::string_view bytes);

// The contents of a query definition file or converted ini file as
// Windows-1252: a file starting with a UTF-8 byte order mark (which is
// dropped), or valid UTF-8 holding non-ASCII, is converted from UTF-8; any
// other file is Windows-1252 already and keeps its bytes.
std::string StoredTextAsCp1252(std::string_view bytes);

}  // namespace qj
