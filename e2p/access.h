// E2P parameter access: logical reads and writes on the current E2P image,
// flat or interleaved (every 16 data bytes in the first half of a 32-byte
// slot). Every access is bounded by the E2P area size and by the image size.
#pragma once

#include "base/results.h"
#include "e2p/e2p_state.h"

#include <cstdint>

namespace qv {

// Image offset of logical address x (the interleaved mapping applies to every
// address when the flash is interleaved).
uint64_t e2pImageOffset(const FlashState &flash, uint32_t x);

// Makes `image` (of `size` bytes) the current E2P image; false for null.
bool fms_E2pSetImage(E2pState &e2p, uint8_t *image, uint32_t size);
void fms_E2pClearImage(E2pState &e2p);
// 0, or -85 when the range passes the E2P area size or the image's end.
int fms_E2pRead(E2pState &e2p, uint32_t x, uint32_t n, void *dst);
// 0, or -104 when the range passes the E2P area size or the image's end.
int fms_E2pWrite(E2pState &e2p, uint32_t x, uint32_t n, const void *src);
// Writes the end mark FF 7F into the last two logical bytes of an area of
// `areaImageBytes` image bytes.
void fms_E2pSetEndMark(E2pState &e2p, uint32_t areaImageBytes);

} // namespace qv
