// What the flash layer keeps for a call: the registered FlashInfo record and
// the two version words the code image may rewrite.
#pragma once

#include <cstdint>

namespace qv {

struct FlashState {
    const uint8_t *flashInfo = nullptr; // registered FlashInfo record (the host's)
    uint32_t versionAddr = 0;           // FMS_FLASH_VELMORINE_VERSION_ADDR
    uint32_t versionAddr1 = 0;          // FMS_FLASH_VELMORINE_VERSION_ADDR1 (top byte: trace version)
};

// The trace version a `versionAddr1` word carries in its top byte, and the
// word that carries nothing but a trace version.
inline constexpr uint32_t traceVersion(uint32_t versionAddr1) { return versionAddr1 >> 24; }
inline constexpr uint32_t versionAddr1OfTrace(uint8_t traceVersion) { return uint32_t(traceVersion) << 24; }

// The flash size in bytes that a record's `sizeIn64KB` gives.
inline constexpr uint64_t flashBytes(uint16_t sizeIn64KB) { return uint64_t(sizeIn64KB) << 16; }

} // namespace qv
