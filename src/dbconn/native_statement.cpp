#include "dbconn/native_statement.h"

#include <string>

#include "dbconn/db_error.h"

namespace qj {

void NativeStatement::Execute() {
  CloseCursor();
  const int count = ResultColumns();
  // A statement without result columns is refused before it runs.
  if (count <= 0) ThrowOwnError("07005", "Die Anweisung liefert keine Ergebnisspalten");
  values_.assign(static_cast<size_t>(count), ColumnValue());
  valueRows_.assign(static_cast<size_t>(count), 0);
  StartRun();
  executed_ = true;
  try {
    pendingRow_ = FetchRow();
    endReached_ = !pendingRow_;
  } catch (const EDatabaseError&) {
    CloseCursor();
    throw;
  }
}

void NativeStatement::CloseCursor() {
  if (executed_) StopRun();
  executed_ = false;
  pendingRow_ = false;
  hasRow_ = false;
  endReached_ = false;
  rowsRead_ = false;
}

bool NativeStatement::First() {
  if (!executed_) ThrowOwnError("24000", "Die Abfrage ist nicht geoeffnet");
  if (rowsRead_) Execute();
  return Next();
}

bool NativeStatement::Next() {
  if (!executed_) ThrowOwnError("24000", "Die Abfrage ist nicht geoeffnet");
  rowsRead_ = true;
  hasRow_ = false;
  if (pendingRow_) {
    pendingRow_ = false;
  } else {
    if (endReached_) return false;
    try {
      endReached_ = !FetchRow();
    } catch (const EDatabaseError&) {
      endReached_ = true;
      throw;
    }
    if (endReached_) return false;
  }
  hasRow_ = true;
  ++rowSerial_;
  return true;
}

const ColumnValue& NativeStatement::Value(int index) {
  if (index < 0 || static_cast<size_t>(index) >= values_.size() || !executed_) {
    ThrowOwnError("07009", "Spaltenindex " + std::to_string(index) + " ausserhalb der Ergebnisspalten (0 bis " +
                               std::to_string(static_cast<long>(ColumnCount()) - 1) + ")");
  }
  if (!hasRow_) ThrowOwnError("24000", "Kein aktueller Datensatz");
  const auto i = static_cast<size_t>(index);
  if (valueRows_[i] != rowSerial_) {
    valueRows_[i] = rowSerial_;
    values_[i].bytes.clear();
    values_[i].isUnsigned = false;
    ReadValue(index, values_[i]);
  }
  return values_[i];
}

}  // namespace qj
