#include "driver/run_context.h"

#include "driver/database_text.h"
#include "platform/text_util.h"

namespace qj {

RunContext ctx;

FieldKind FieldKindOf(std::string_view type) {
  if (type == "CHAR") return FieldKind::Char;
  if (type == "DEC") return FieldKind::Dec;
  if (type == "TXT") return FieldKind::Txt;
  return FieldKind::Unknown;
}

std::string SlotKey(const char* prefix, int slot) {
  std::string key = prefix;
  AppendDigits(static_cast<uint64_t>(slot), 2, key);
  return key;
}

std::string SlotLabel(int slot, const FieldDefinition& field) {
  return SlotKey("FELD", slot) + " (" + DatabaseText(field.Name) + ")";
}

RunContext::RunContext() = default;
RunContext::~RunContext() = default;
RunContext::RunContext(RunContext&&) noexcept = default;
RunContext& RunContext::operator=(RunContext&&) noexcept = default;

const std::string& RunContext::CompanyAt(int32_t position) const {
  static const std::string kEmpty;
  if (position < 0 || static_cast<size_t>(position) >= CompanyList.size()) return kEmpty;
  return CompanyList[static_cast<size_t>(position)];
}

void RunContext::StoreCompanyAt(int32_t position, std::string value) {
  if (position < 0) return;
  if (static_cast<size_t>(position) >= CompanyList.size()) CompanyList.resize(static_cast<size_t>(position) + 1);
  CompanyList[static_cast<size_t>(position)] = std::move(value);
}

}  // namespace qj
