// The NOR file-system download stream: 516-byte records (u32 sector number,
// then the 512-byte sector), each stored as one RAI item whose identifier is
// the file system's base plus the sector number.
#pragma once

#include "base/file.h"
#include "base/results.h"
#include "rai/rai_state.h"

#include <cstdint>

namespace qv {

inline constexpr uint32_t kUserFatIdBase = 0xCAA00000;
inline constexpr uint32_t kHiddenFatIdBase = 0xCAB00000;
inline constexpr uint32_t kFsSectorSize = 512;
inline constexpr uint32_t kFsRecordSize = 4 + kFsSectorSize;
// A FAT input: a header whose byte 9 is the kind, then the stream.
inline constexpr int64_t kFatHeaderSize = 16;

// The file system whose sector an item identifier names: the user FAT from
// kUserFatIdBase, the hidden FAT from kHiddenFatIdBase, each up to 1 M sectors.
enum class FsImage { User, Hidden, None };
struct FsSectorRef {
    FsImage image = FsImage::None;
    uint32_t number = 0; // the sector's number in its file system
};
FsSectorRef fsSectorOf(uint32_t id);

// Launches the RAI service over the RAI area; 0 or -25.
int dwl_NorFsProcessInit(RaiState &rai, uint32_t base, uint32_t length);
// Stores every whole record from the stream's position to its end (a shorter
// tail is ignored); 0, -53 at the first sector that cannot be stored, or the
// cancel code when the host cancelled the call between two blocks.
int dwl_NorFsProcessData(RaiState &rai, File &stream, uint32_t hidden);
// Stores `count` sectors from `first` on; 0, or kDevWriteFailed at the first
// failure.
int dev_nor_write_sectors(RaiState &rai, uint32_t first, uint32_t count, const uint8_t *data, uint32_t idBase);

} // namespace qv
