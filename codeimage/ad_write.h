// The address/data records of the CUS area: a 16-byte header (link word,
// length, ident, 0xFFFFFFF0), the data and 0xFF padding to a 4-byte boundary.
// AD_write_addr (CodeState::adWriteAddr) is the output offset of the next record.
#pragma once

#include "base/file.h"
#include "codeimage/code_state.h"

#include <cstdint>
#include <functional>

namespace qv {

inline constexpr uint32_t kRecordHeaderSize = 16;
inline constexpr uint32_t kRecordTail = 0xFFFFFFF0;

// Supplies the data of a record: writes its bytes onto the output and
// returns 0, or a negative code when its input could not be read whole. A
// failed write is not its to report: the output's failed() shows it.
using RecordData = std::function<int(File &out)>;

// Appends one record at the stream's position. The link word is the distance
// to the next record when `chunkSize` == `len`, else `chunkSize` + 16 (the
// distance to the first chunk header inside a multi-chunk CUS record).
// `ident` is written as its four little-endian bytes. Returns 0; -53 when the
// stream is past the record's end; kErrRecordPastFlash, before anything is
// written, when the record would end past the write limit; or the code of
// `data`, after cutting the output back to where the record began. On every
// failure AD_write_addr keeps its value.
int fms_adWrite(CodeState &ci, const RecordData &data, uint32_t len, uint32_t ident, uint32_t chunkSize, File &out);
// The same with data held in memory.
int fms_adWrite(CodeState &ci, const uint8_t *data, uint32_t len, uint32_t ident, uint32_t chunkSize, File &out);

// Sets AD_write_addr (done once per merge, before the first record).
void fms_adSetWriteAddr(CodeState &ci, uint32_t address);
// Sets the output offset that no record may pass: the flash size for the
// code image. A call starts with 4 GiB, the most a 32-bit offset can name.
void fms_adSetWriteLimit(CodeState &ci, uint64_t limit);

} // namespace qv
