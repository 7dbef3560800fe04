#pragma once
// What the native engines share of a statement: running it up to its first
// row at open (so that an error of the run shows there), stepping through
// the rows, running it again for a first row after rows were read, and one
// value per column of the current row, built when it is first asked for.

#include <cstdint>
#include <vector>

#include "dbconn/engine.h"

namespace qj {

class NativeStatement : public EngineStatement {
 public:
  void Execute() override;
  void CloseCursor() override;
  bool First() override;
  bool Next() override;
  bool Executed() const override { return executed_; }
  int ColumnCount() const override { return executed_ ? static_cast<int>(values_.size()) : 0; }
  const ColumnValue& Value(int index) override;

 protected:
  // The result columns of the prepared statement (0 when none is prepared).
  virtual int ResultColumns() const = 0;
  // Starts the statement's run; FetchRow then delivers its rows.
  virtual void StartRun() = 0;
  // Ends a started run, whether or not every row was read.
  virtual void StopRun() = 0;
  // Moves the engine to the next row: false at the end of the rows.
  virtual bool FetchRow() = 0;
  // The value of a column of the engine's current row.
  virtual void ReadValue(int index, ColumnValue& value) = 0;

 private:
  std::vector<ColumnValue> values_;
  std::vector<uint64_t> valueRows_;  // row serial each value was built for
  bool executed_ = false;
  bool pendingRow_ = false;  // Execute moved onto the first row
  bool hasRow_ = false;
  bool endReached_ = false;
  bool rowsRead_ = false;
  uint64_t rowSerial_ = 0;
};

}  // namespace qj
