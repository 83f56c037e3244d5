// Generators of a large release for the benchmarks: the FlashInfo record,
// the E2P buffers, a code file (plain and compressed), a DSP patch file, CUS
// files, an E2P description file and FAT inputs that fill the RAI area.
#pragma once

#include "gen/bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qvbench {

inline constexpr uint32_t kSector = 0x10000;          // uniform 64 KB sectors
inline constexpr uint32_t kVersionAddr1 = 0x01000000; // trace version 1
inline constexpr uint32_t kVersionAddr = 0x00020001;
inline constexpr uint32_t kE2pAreaBytes = 0x10000;

struct ReleaseShape {
    uint64_t codeBytes = uint64_t(256) << 20; // code section
    unsigned cusFiles = 4;
    uint32_t cusBytes = 256 << 10; // data of one CUS file
    unsigned e2pObjects = 10000;
    uint16_t raiUnits = 1024;   // E2P_RAISIZEIN32KB: 1024 x 32 KB = 32 MB
    uint8_t cacheSize = 255;    // hash table of 255 x 256 elements
    uint16_t flashIn64KB = 8192; // 512 MB of 64 KB sectors
    bool interleaved = false;
    int zlibLevel = -1; // zlib's default level
};

// What a generated release holds, and the figures the measurements need.
struct Release {
    std::string dir;
    std::string codeFile, codeWpb, dspFile, e2pFile, userFat, hiddenFat;
    std::vector<std::string> cusFiles;
    Bytes flashInfo;
    Bytes e2pBase; // base image carrying the partition and RAI parameters
    Bytes e2pArea; // an empty journal: all 0xFF
    uint64_t codeSection = 0;
    uint64_t wpbBytes = 0;
    uint32_t raiSectors = 0; // sectors of the RAI area the partition map gives
    uint64_t raiImageBytes = 0; // length of the RAI image file a merge of the FAT inputs writes
    uint32_t raiItems = 0;   // 512-byte items that fill it
    uint32_t userItems = 0, hiddenItems = 0;
    uint64_t fatBytes = 0;
};

// The paths and figures of the release `shape` describes, in `dir`; nothing
// is written.
Release planRelease(const ReleaseShape &shape, const std::string &dir);
// Writes every file of the planned release (its folder must exist) and fills
// in the compressed size. Throws std::runtime_error when a file cannot be
// written.
void writeRelease(const ReleaseShape &shape, Release &release);

// Writes, beside the release's files, the FlashInfo record (flash.bin), the
// two E2P buffers (e2p_base.bin, e2p_area.bin) and a manifest naming the
// whole release (release.json; outputs relative to --out-dir), so that the
// command can merge it and report on it.
void writeManifest(const Release &release);

// ---- the single generators, also used by the micro-benchmarks ----------

Bytes makeFlashInfo(uint16_t sizeIn64KB, bool interleaved);
// E2P base image of `bytes`: all 0xFF but the trace bytes (2, 98), the RAI
// size words (units, 0xFFFF - units) and the cache size byte, placed for the
// flat or the interleaved layout.
Bytes makeE2pBase(uint32_t bytes, uint16_t raiUnits, uint8_t cacheSize, bool interleaved);
// Writes a code file (16-byte header + section) and, when `wpbPath` is not
// empty, the compressed input holding the same section. Returns the size of
// the compressed file.
uint64_t writeCodeFiles(const std::string &codePath, const std::string &wpbPath, uint64_t sectionBytes,
                        int zlibLevel, uint64_t seed);
// A compressed input (144-byte header, zlib stream) of `payload`.
void writeWpb(const std::string &path, const Bytes &payload, uint32_t typeCode, int zlibLevel);
void writeDspFile(const std::string &path, uint32_t patchBytes);
void writeCusFile(const std::string &path, const std::string &typeTag, uint32_t dataBytes, unsigned chunks,
                  uint64_t seed);
std::string e2pDescriptionText(unsigned objects, uint64_t seed);
// A FAT input of kind 22 (user) or 23 (hidden): 16-byte header, then one
// 516-byte record per sector number first .. first + count - 1.
uint64_t writeFatFile(const std::string &path, uint8_t kind, uint32_t first, uint32_t count, uint64_t seed);
// The download stream alone (no header), as a compressed RAI input carries it.
Bytes fatStream(uint32_t first, uint32_t count, uint64_t seed);

// Sectors of the RAI area for `units` x 32 KB on a uniform flash: the size in
// sectors plus the one more the partition map always adds.
uint32_t raiSectorCount(uint16_t units, uint32_t sectorSize);
// 512-byte items the store accepts over `sectors` sectors before its space
// check refuses one, capped by the sectors' room and the hash table.
uint32_t raiItemCapacity(uint32_t sectors, uint32_t sectorSize, bool interleaved, uint32_t hashElements);

void writeBytes(const std::string &path, const Bytes &data);
void writeText(const std::string &path, const std::string &text);

} // namespace qvbench
