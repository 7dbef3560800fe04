#pragma once
// The one process-wide state of a run. The steps hand data to each other only
// through this record and through the result codes they return.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qj {

// The parts of the record that higher layers build are held through
// std::shared_ptr, which destroys and moves them without their types.
class LineList;
class Tdm1;
class ValueTextFormatter;
struct QueryIniFile;

constexpr int kFieldSlots = 30;

// What a slot's type text asks for. The text is compared byte for byte
// after the load's upper-casing: "CHAR", "DEC" and "TXT" are keywords, any
// other text ("CHAR ", "DECIMAL", the empty text) is Unknown, and such a
// slot reads its column but adds nothing to the record.
enum class FieldKind : uint8_t { Unknown, Char, Dec, Txt };

FieldKind FieldKindOf(std::string_view type);

// One output field slot: a non-empty name puts the slot in use.
struct FieldDefinition {
  std::string Name;
  std::string Type;  // the FTYPnn text as loaded
  int32_t Length = 0;
  FieldKind Kind = FieldKind::Unknown;  // Type, parsed once when the section loads
};

// "FELD07", "FTYP07", "FLEN07": the key of a slot.
std::string SlotKey(const char* prefix, int slot);
// "FELD07 (ORT)": the slot as the layout's author named it, the name in the
// console's character set.
std::string SlotLabel(int slot, const FieldDefinition& field);

struct RunContext {
  RunContext();
  ~RunContext();
  RunContext(RunContext&&) noexcept;
  RunContext& operator=(RunContext&&) noexcept;

  // Arguments and switches.
  int32_t ArgumentCount = 0;
  std::string SectionName;
  std::string TerminalName;
  std::string TargetFile;
  std::string ReplaceFlag;
  bool TraceMode = false;

  // Status.
  int32_t ResultCode = 0;

  // Database parameters.
  std::string DbSys;

  // The query definition file, read once per run.
  std::shared_ptr<QueryIniFile> QueryIni;

  // Statement and field layout.
  std::string StatementTemplate;
  std::string WorkingStatement;
  std::array<FieldDefinition, kFieldSlots> Fields;  // slot nn is Fields[nn - 1]

  // Companies. Position 0 is never used; values start at position 1 and the
  // table grows as needed, so every company row keeps its value.
  std::vector<std::string> CompanyList;
  int32_t CompanyCount = 0;
  int32_t CompanyCursor = 0;
  bool CompanyPlaceholderFound = false;

  // Rows and records.
  bool RowFound = false;
  std::string RecordLine;
  int32_t RecordCount = 0;
  // Made by the run sequence (or the first record added).
  std::shared_ptr<LineList> OutputLines;
  // The text form of the current non-text value: one buffer for the run, so
  // that a row allocates nothing once it has grown to the widest value.
  std::string FieldText;
  // Values cut to their field length so far.
  int64_t CutValues = 0;

  // The text forms of values, made from the locale environment at the first
  // value that needs one.
  std::shared_ptr<ValueTextFormatter> ValueTexts;

  // Outcomes that decide the exit code after the count message: a statement
  // of the requested section was rejected by the engine (6), the download
  // file could not be written (7).
  bool StatementRejected = false;
  bool DownloadNotWritten = false;
  // The connection could not be opened (9); it ranks between 7 and 6. Set by
  // any statement of the run, the company list's included: no statement can
  // run after it.
  bool ConnectionFailed = false;

  // The data module with the connection component and the query Qry1.
  std::shared_ptr<Tdm1> dm1;

  FieldDefinition& Field(int slot) { return Fields[static_cast<size_t>(slot - 1)]; }
  const FieldDefinition& Field(int slot) const { return Fields[static_cast<size_t>(slot - 1)]; }

  // The company value at a position; positions never stored read as empty.
  const std::string& CompanyAt(int32_t position) const;
  void StoreCompanyAt(int32_t position, std::string value);
};

// The process-wide run context.
extern RunContext ctx;

}  // namespace qj
