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

} // namespace qv
