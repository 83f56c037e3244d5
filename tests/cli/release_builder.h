// A small but complete release written into a folder, built field by field
// from the input formats: a flash description (record and JSON), a code file,
// a DSP patch file, an MCP file, two CUS files (one of several chunks), user
// and hidden FAT images, an E2P description file and the two E2P buffers.
#pragma once

#include "cli_run.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace clitest {

struct FatSector {
    uint32_t number;
    Bytes data; // 512 bytes
};

struct TestRelease {
    explicit TestRelease(const std::string &dir, bool interleaved = false);

    std::string dir;
    bool interleaved;
    Json flashJson;    // the flash description
    Bytes flashRecord; // the same as a FlashInfo record
    Bytes codeSection; // the code file without its 16-byte header
    std::vector<FatSector> user, hidden;
    Bytes lcmcData;                 // the one chunk of logo.cus
    std::vector<Bytes> sensChunks;  // the chunks of sens.cus
    Bytes dspPatch;                 // the patch chip version 2 selects

    std::string path(const std::string &name) const { return dir + "/" + name; }
    // The merge by flags, outputs (and the merged E2P area) into `out`.
    std::vector<std::string> mergeFlags(const std::string &out) const;
    // The same release as a manifest, paths relative to `dir`.
    Json manifest() const;
};

// A FAT input file: 16-byte header with `kind` at byte 9, then the records.
Bytes fatFile(uint8_t kind, const std::vector<FatSector> &sectors);

} // namespace clitest

namespace clitest {

// A TestRelease merged by flags, its outputs in <tmp>/out: code.img,
// e2p.img, rai.img, area.bin (the merged E2P area) and merge.log.
struct MergedRelease {
    explicit MergedRelease(bool interleaved = false);
    qvtest::TempDir tmp;
    TestRelease rel;
    std::string out;
    CliResult result; // of the merge, with --json

    std::string output(const std::string &name) const { return out + "/" + name; }
};

} // namespace clitest
