// Reading an RAI image back: each sector of the item store (erased,
// formatted with items, the spare), each item (offset, identifier, length,
// valid or deleted), the totals and the free space the store would still
// hand out. Reads only the file's bytes, given where the area lies.
#pragma once

#include "cli/io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvcli {

struct RaiLayout {
    uint32_t base = 0;       // flash address of file position 0
    uint32_t sectorSize = 0; // bytes between sector starts
    uint32_t sectors = 0;    // 0: worked out from the file's length
    bool interleaved = false;
};

struct RaiItem {
    uint32_t offset = 0; // bytes from the RAI base
    uint32_t word0 = 0;
    uint32_t id = 0;
    uint16_t length = 0; // identifier and data
    bool valid = false;  // state 2; else deleted
    Bytes data;          // length - 4 bytes

    uint32_t words() const { return (uint32_t(length) + 7) / 4; }
};

enum class SectorKind { Erased, Spare, Free, Active, Damaged };

struct RaiSector {
    uint32_t index = 0;
    uint32_t offset = 0; // bytes from the RAI base
    SectorKind kind = SectorKind::Erased;
    std::vector<RaiItem> items;
    uint32_t usedWords = 0;
    std::string problem;
};

struct RaiImage {
    RaiLayout layout;
    uint64_t fileSize = 0;
    uint32_t wordsPerSector = 0;
    std::vector<RaiSector> sectors;
    uint32_t validItems = 0, deletedItems = 0;
    uint64_t validDataBytes = 0;
    uint64_t freeBytes = 0; // in formatted and erased sectors, the spare left out
    int64_t memAvail = 0;   // what the store would still give a new item
    std::vector<std::string> problems;
};

// The file system an item identifier names a sector of: the user FAT from
// 0xCAA00000, the hidden FAT from 0xCAB00000, each up to 1 M sectors.
enum class FatImage { User, Hidden, None };
struct FatSector {
    FatImage image = FatImage::None;
    uint32_t number = 0; // the sector's number in its file system
};
FatSector fatSectorOf(uint32_t id);

// A power of two of at least 64 bytes.
bool validSectorSize(uint32_t size);
// Throws InputError when the layout does not fit the file.
RaiImage readRaiImage(const Bytes &file, RaiLayout layout);
// True when the bytes hold a formatted sector header where one belongs.
bool looksLikeRaiImage(const Bytes &file);
const char *sectorKindName(SectorKind k);

} // namespace qvcli
