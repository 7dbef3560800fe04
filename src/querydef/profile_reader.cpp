#include "querydef/profile_reader.h"

#include <cstdio>
#include <utility>

#include "platform/text_encoding.h"
#include "platform/text_util.h"
#include "querydef/profile_integer.h"

namespace qj {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// The next line of the bytes without its line end; advances pos past it.
std::string_view NextLine(std::string_view bytes, size_t& pos) {
  const size_t end = bytes.find('\n', pos);
  std::string_view line =
      end == std::string_view::npos ? bytes.substr(pos) : bytes.substr(pos, end - pos);
  pos = end == std::string_view::npos ? bytes.size() : end + 1;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t nul = line.find('\0');
  if (nul != std::string_view::npos) line = line.substr(0, nul);
  return line;
}

}  // namespace

ProfileFile ProfileFile::Parse(std::string_view fileBytes) {
  ProfileFile profile;
  profile.found_ = true;
  // A UTF-8 file is taken apart as it is (every character that structures
  // it is ASCII) and each name and value converted on its own, so that the
  // characters Windows-1252 cannot hold are counted per value.
  const bool utf8 = StoredTextIsUtf8(fileBytes);
  const std::string_view bytes = WithoutByteOrderMark(fileBytes);
  auto text = [utf8](std::string_view piece, size_t& replaced) {
    replaced = 0;
    return utf8 ? Utf8TextAsCp1252(piece, replaced) : std::string(piece);
  };
  size_t ignored = 0;

  // Entries go into the current section; none before the first section
  // line, and none into a section whose name appeared before.
  Section* current = nullptr;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const std::string_view line = Trim(NextLine(bytes, pos));
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      std::string_view name = line.substr(1);
      name = Trim(name.substr(0, name.find(']')));
      auto inserted = profile.sections_.try_emplace(FoldCase(text(name, ignored)));
      current = inserted.second ? &inserted.first->second : nullptr;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || current == nullptr) continue;
    Value value;
    value.text = text(Unquote(Trim(line.substr(equals + 1))), value.replaced);
    value.cut = value.text.size() > kMaxValueBytes;
    if (value.cut) value.text.resize(kMaxValueBytes);
    std::string name = text(Trim(line.substr(0, equals)), ignored);
    if (current->entries.try_emplace(FoldCase(name), std::move(value)).second) current->keys.push_back(std::move(name));
  }
  return profile;
}

ProfileFile ProfileFile::Load(const std::string& path) {
  // A file that cannot be read to its end (a directory, say) counts as missing.
  const FileBytes file = ReadWholeFile(path);
  return file.complete ? Parse(file.bytes) : ProfileFile();
}

const ProfileFile::Value* ProfileFile::Find(std::string_view section, std::string_view key) const {
  const auto s = sections_.find(FoldCase(section));
  if (s == sections_.end()) return nullptr;
  const auto k = s->second.entries.find(FoldCase(key));
  return k == s->second.entries.end() ? nullptr : &k->second;
}

bool ProfileFile::HasSection(std::string_view section) const { return sections_.count(FoldCase(section)) != 0; }

std::vector<std::string> ProfileFile::Keys(std::string_view section) const {
  const auto s = sections_.find(FoldCase(section));
  return s == sections_.end() ? std::vector<std::string>() : s->second.keys;
}

std::string ProfileFile::ReadText(std::string_view section, std::string_view key,
                                  std::string_view defaultValue) const {
  const Value* value = Find(section, key);
  return value == nullptr ? std::string(defaultValue) : value->text;
}

bool ProfileFile::WasCut(std::string_view section, std::string_view key) const {
  const Value* value = Find(section, key);
  return value != nullptr && value->cut;
}

size_t ProfileFile::ReplacedCharacters(std::string_view section, std::string_view key) const {
  const Value* value = Find(section, key);
  return value == nullptr ? 0 : value->replaced;
}

int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
  return ProfileInteger(ReadText(section, key, ""), defaultValue);
}

}  // namespace qj
