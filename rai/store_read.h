// Reading an RAI image back: each sector of the item store (erased,
// formatted with items, the spare), each item (offset, identifier, length,
// valid or deleted), the totals and the space the store would still give a
// new item, by the store's own rules. Reads only the file's bytes, given
// where the area lies; the file-system sectors it holds can be written back
// as FAT inputs.
#pragma once

#include "flash/flash_desc.h"
#include "flash/flash_state.h"
#include "rai/partition_map.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

struct RaiAreaLayout {
    uint32_t base = 0;       // flash address of file position 0
    uint32_t sectorSize = 0; // bytes between sector starts
    uint32_t sectors = 0;    // 0: worked out from the file's length
    bool interleaved = false;
};

// The partition map of a flash record over a merged E2P area, the trace
// version being the top byte of `versionAddr1`; the reason when the map
// cannot be placed.
std::optional<std::string> partitionMapOf(const FlashRecord &flash, std::span<const uint8_t> area,
                                          uint32_t versionAddr1, PartitionMap &m);
// The RAI area of a placed map read from `base` (the map's RAI base, unless
// told otherwise): sectors of the size found there, as many as the map gives,
// in the flash's layout. The reason when `base` lies in no region.
std::optional<std::string> raiAreaAt(const FlashState &flash, const PartitionMap &m, uint32_t base, RaiAreaLayout &l);

struct RaiItem {
    uint32_t offset = 0; // bytes from the RAI base
    uint32_t word0 = 0;
    uint32_t id = 0;
    uint16_t length = 0; // identifier and data
    bool valid = false;  // state 2; else deleted
    std::vector<uint8_t> data; // length - 4 bytes
};

enum class RaiSectorKind { Erased, Spare, Free, Active, Damaged };
const char *raiSectorKindName(RaiSectorKind k);

struct RaiSector {
    uint32_t index = 0;
    uint32_t offset = 0; // bytes from the RAI base
    RaiSectorKind kind = RaiSectorKind::Erased;
    std::vector<RaiItem> items;
    uint32_t usedWords = 0;
    std::string problem;
};

struct RaiStoreContents {
    RaiAreaLayout layout;
    uint64_t fileSize = 0;
    uint32_t wordsPerSector = 0;
    std::vector<RaiSector> sectors;
    uint32_t validItems = 0, deletedItems = 0;
    uint64_t validDataBytes = 0;
    uint64_t freeBytes = 0; // in formatted and erased sectors, the spare left out
    int64_t memAvail = 0;   // what the store would still give a new item
    std::vector<std::string> problems;
};

// How many more file-system sectors (512-byte items) the store would take
// with `memAvail` left: each needs its size + 4 available and uses up its
// item's words.
int64_t fsSectorsThatFit(int64_t memAvail);

// A power of two of at least 64 bytes.
bool validRaiSectorSize(uint32_t size);
// Reads the store; the reason, and nothing read, when the layout does not fit
// the file.
std::optional<std::string> readRaiStore(std::span<const uint8_t> file, RaiAreaLayout layout, RaiStoreContents &out);
// True when the bytes hold a formatted sector header where one belongs.
bool looksLikeRaiImage(std::span<const uint8_t> file);

// The valid 512-byte file-system sectors of the store as the two FAT inputs
// that stored them: the header with the kind byte, then one record per sector
// in ascending sector order. Merging them again stores the same items.
struct FatInputs {
    std::vector<uint8_t> user, hidden;
    uint32_t userSectors = 0, hiddenSectors = 0;
    uint32_t otherItems = 0; // valid items that are no 512-byte file-system sector
};
FatInputs fatInputsOf(const RaiStoreContents &store);

} // namespace qv
