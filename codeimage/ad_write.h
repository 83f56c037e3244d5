// The address/data records of the CUS area: a 16-byte header (link word,
// length, ident, 0xFFFFFFF0), the data and 0xFF padding to a 4-byte boundary.
// AD_write_addr (CodeState::adWriteAddr) is the output offset of the next record.
#pragma once

#include "base/file.h"
#include "codeimage/code_state.h"

#include <cstdint>

namespace qv {

inline constexpr uint32_t kRecordHeaderSize = 16;
inline constexpr uint32_t kRecordTail = 0xFFFFFFF0;

// Appends one record at the stream's position. The link word is the distance
// to the next record when `chunkSize` == `len`, else `chunkSize` + 16 (the
// distance to the first chunk header inside a multi-chunk CUS record).
// `ident` is written as its four little-endian bytes. Returns 0, or -53 when
// the stream is past the record's end (AD_write_addr then keeps its value).
int fms_adWrite(CodeState &ci, const uint8_t *data, uint32_t len, uint32_t ident, uint32_t chunkSize, File &out);

// Sets AD_write_addr (done once per merge, before the first record).
void fms_adSetWriteAddr(CodeState &ci, uint32_t address);

} // namespace qv
