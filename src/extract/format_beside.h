#pragma once
// The rest of a row pass with the records formatted on a second thread while
// this one fetches the next rows. The engine fetches only on the calling
// thread, which copies the used columns of each row (as values, or as the
// engine's buffers hold them: EngineStatement::Capture); the second thread
// builds the values of such copies, formats them and adds the records, in
// fetch order. A failure, of the fetch,
// of reading a value or of a field, ends the pass where it would have ended
// with one row after the other: the rows before it are added, none after it.

namespace qj {

// From this many records of a pass on, the rest of the pass is formatted
// beside: a short download does not pay for a thread.
constexpr int kFormatBesideRecords = 4096;

// Formats and adds the records of the current row of Qry1 (ctx.ResultCode 0)
// and of every further row that readNext finds, as FormatRecord,
// addRecordLine and ++ctx.RecordCount do one after the other; ctx.ResultCode
// holds the last result of readNext. Rethrows the first failure in row
// order once both threads are done. False, with nothing done, when no second
// thread is to be had.
bool FormatPassBeside(int (*readNext)(), void (*addRecordLine)());

}  // namespace qj
