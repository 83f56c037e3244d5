// The DSP patch record: from a "PATC" file holding one patch per chip
// version, the patch for the target's chip, written as the first record of
// the CUS area (ident "DSPP").
#pragma once

#include "base/bytes.h"
#include "base/file.h"
#include "codeimage/code_state.h"

#include <cstdint>

namespace qv {

inline constexpr uint32_t kIdMapEntrySize = 32;
inline constexpr uint32_t kPatchEntrySize = 13;
inline constexpr uint32_t kDspPatchIdent = fourcc("DSPP"); // ident of its record

// Chip version of the first id map entry (of `count`, 32 bytes each) whose
// chip id key is 0xFFFF or `chipId` and whose sub id key is `subId`; -1 when
// none matches.
int dsp_find_chip_ver(const uint8_t *map, uint32_t count, uint16_t chipId, uint16_t subId);

// Selects the patch for (`chipId`, `subId`) and appends it to `out`, first
// setting AD_write_addr to the stream's position. Returns 0 or a negative
// code: -73, -78, -83 (file header), -94, -125, -141, -53, or one of the
// refusals of result_codes.h when the descriptor or the patch data reach
// past the descriptor area or the file, or the record past the flash.
// Nothing is written before the record. Only the descriptor's head is held
// in memory; the id map and the patch data are read from the file in blocks.
int gen_patch(CodeState &ci, File &dsp, File &out, uint16_t chipId, uint16_t subId);

} // namespace qv
