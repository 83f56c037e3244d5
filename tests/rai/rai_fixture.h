// Shared set-up of the RAI tests: a clean process state, a merge log the test
// can read back, a registered flash description, an E2P image with the
// parameters the partition map and the launch read, and a reader of the RAI
// image format that knows nothing of the store's code.
#pragma once

#include "support/support.h"

#include "support/context.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace qvtest {

class RaiTest : public ::testing::Test, protected TestContext {
protected:
    void SetUp() override;
    void TearDown() override;

    // Registers `flashDesc` as the call's flash description; its versionAddr1 is
    // the current version word.
    void useFlash(const FlashInfoSpec &flashDesc);
    // A flat E2P image of `imageSize` bytes (0xFF) as the current E2P image,
    // with `areaSize` as the E2P area size.
    void useE2p(uint32_t areaSize, size_t imageSize = 0x2000);
    void setByte(uint32_t address, uint8_t v) { e2p_.at(address) = v; }
    void setWord(uint32_t address, uint16_t v) {
        e2p_.at(address) = uint8_t(v);
        e2p_.at(address + 1) = uint8_t(v >> 8);
    }
    // Trace bytes, RAI words and cache byte of a usual release.
    void setUsualParameters(uint8_t traceCount, uint16_t raiUnits, uint8_t cache);

    // The log lines written since the last call (or the test's start).
    std::vector<std::string> takeLog();

    TempDir dir_;
    Bytes flash_;
    Bytes e2p_;
    std::string logPath_;
};

// The RAI image file's bytes as the merge would write them.
Bytes savedImage(qv::RaiState &rai);

// One item as found in an image.
struct FoundItem {
    uint32_t address = 0; // flash address of header word 0
    uint32_t word0 = 0;
    Bytes data;
};

// Walks a plain-layout RAI image of `sectors` sectors of `sectorSize` bytes
// from `base` and returns its items by identifier (deleted ones included).
std::map<uint32_t, FoundItem> readItems(const Bytes &image, uint32_t base, uint32_t sectorSize, uint32_t sectors);

// A download stream of 516-byte records: {sector number, 512 bytes}.
Bytes records(const std::vector<std::pair<uint32_t, Bytes>> &sectors);
// A sector's worth of recognisable bytes.
Bytes sectorBytes(uint32_t seed);

} // namespace qvtest
