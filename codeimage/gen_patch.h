// The DSP patch record: from a "PATC" file holding one patch per chip
// version, the patch for the target's chip, written as the first record of
// the CUS area (ident "DSPP").
#pragma once

#include "base/bytes.h"
#include "base/file.h"
#include "codeimage/code_state.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <vector>

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

// The chip id a patch is chosen by: the low four bits of the record's.
inline uint16_t dspChipId(const FlashInfo &fi) { return uint16_t(fi.chipId() & 0xF); }

// What gen_patch would choose in `dsp` for (`chipId`, `subId`), by its own
// rules and with nothing logged: the chip version wanted (-1 when the id map
// has no entry for the chip) and the chip versions of the patch entries.
struct DspPatchChoice {
    int wanted = -1;
    std::vector<uint8_t> versions;
    bool found = false; // an entry has the wanted version
};
// 0, also when no entry or no id map entry answers; else gen_patch's code
// for a file it refuses for another reason.
int dspPatchChoice(File &dsp, uint16_t chipId, uint16_t subId, DspPatchChoice &c);

} // namespace qv
