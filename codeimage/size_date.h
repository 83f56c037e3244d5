// The size-and-date record of the code file: 28 bytes of text giving its
// size and last-write time in the local time of the machine.
#pragma once

#include "base/cause.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr uint32_t kSizeDateLength = 28;

// "<size> MMDDYY HH:MM", blank-padded to 27 characters and a zero byte. The
// size is the low 32 bits of the file size printed as a signed number; the
// time is converted with the machine's time zone and daylight-saving rules,
// unless `fixedTime` (seconds since 1970, -1 for none) fixes the recorded
// time, which is then shown in UTC. Returns 0 with the record and its length
// 28, or kErrSizeDate (nothing stored) when the file cannot be opened or
// examined, with `why` (when given) told the system's reason.
int SendBinaryFileSizeAndDate(const std::string &path, std::vector<uint8_t> &record, uint32_t &length,
                              int64_t fixedTime = -1, Cause *why = nullptr);

} // namespace qv
