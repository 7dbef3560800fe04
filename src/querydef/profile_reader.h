#pragma once
// The reader of the query definition file, an INI file in private-profile
// form. The file is read once; every lookup then works on what was parsed.
//
// Rules: the file is read as UTF-8 when it starts with a UTF-8 byte order mark
// or is valid UTF-8 holding non-ASCII, and is converted to Windows-1252;
// otherwise its bytes are Windows-1252 already. Lines end at LF (one CR
// before it is dropped); a NUL byte ends its line. A line whose first
// non-blank character is "[" starts a section named by the text up to "]".
// A line with "=" is an entry: key before the first "=", value after it, both
// without surrounding blanks and tabs; a value of two or more characters
// enclosed in a matching pair of " or ' loses that pair. Lines starting with
// ";" and all other lines are ignored; there are no inline comments. Section
// and key names match without regard to ASCII letter case; the first section
// and the first key of a name count. Values are cut to 2047 Windows-1252 bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qj {

class ProfileFile {
 public:
  static constexpr size_t kMaxValueBytes = 2047;

  // An empty profile: every read gives its default.
  ProfileFile() = default;

  static ProfileFile Parse(std::string_view bytes);
  // Reads and parses the file; a missing or unreadable file gives an empty profile.
  static ProfileFile Load(const std::string& path);
  // Whether Load read the file (Parse always counts as read).
  bool Found() const { return found_; }

  // The value of a key, or the default when the section or key is missing.
  std::string ReadText(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  // The value converted by the integer read, or the default.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
  // Whether the value of the key was longer than kMaxValueBytes and was cut.
  bool WasCut(std::string_view section, std::string_view key) const;
  // How many characters of the key's value a UTF-8 file held that
  // Windows-1252 cannot hold: each became "?".
  size_t ReplacedCharacters(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // The keys of a section as written, each once, in the order of their first
  // line; empty for a missing section.
  std::vector<std::string> Keys(std::string_view section) const;

 private:
  struct Value {
    std::string text;
    bool cut = false;
    size_t replaced = 0;
  };
  struct Section {
    // Key names folded to ASCII lower case.
    std::unordered_map<std::string, Value> entries;
    std::vector<std::string> keys;
  };
  const Value* Find(std::string_view section, std::string_view key) const;
  // Section names folded to ASCII lower case.
  std::unordered_map<std::string, Section> sections_;
  bool found_ = false;
};

}  // namespace qj
