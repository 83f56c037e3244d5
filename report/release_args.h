// Everything one merge takes, whether from flags or from a release manifest,
// and the flash description as the command read it.
#pragma once

#include "flash/flash_desc.h"
#include "report/command_files.h"

#include <optional>
#include <string>
#include <vector>

namespace qvcli {

struct MergeArgs {
    // The FlashInfo record: read from `flashInfoPath` (a binary record, or a
    // JSON description when the name ends in ".json"), or already encoded
    // from a manifest's inline description.
    std::string flashInfoPath;
    std::optional<Bytes> flashInfoRecord;
    std::string e2pBase, e2pArea, e2pAreaOut;
    std::vector<std::string> images, patches, cus, e2pFiles;
    std::string outCode, outE2p, outRai, log;
    std::string record, outFlash; // the release record and the programmer file, written by the command
    bool eraseAll = false;
};

// The flash description of a release: its record, or why it cannot be read.
struct FlashSource {
    std::optional<qv::FlashRecord> record;
    std::string problem;
};

} // namespace qvcli
