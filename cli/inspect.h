// quorvel inspect: what a code, E2P, RAI image or FlashInfo record holds.
// Each runner prints its report (text, JSON with --json, no text with --quiet)
// and returns the exit status: 0 when the file is sound, 1 when the report
// lists problems.
#pragma once

#include "cli/paths.h"

#include <string>
#include <vector>

namespace qvcli {

struct InspectOptions {
    std::string file, kind;
    std::string e2pBase;         // E2P: base image to replay the journal onto
    std::vector<std::string> e2pFiles; // E2P: description files, to read the parameters by name
    std::string raiBase;         // RAI: the area's flash address
    std::string flashInfo;       // FlashInfo record or JSON description
    std::string e2pArea;         // RAI: the merged E2P area
    std::string traceVersion;    // RAI: trace version the merge used
    std::string sectorSize, sectors;
    std::string extractFat;      // RAI: folder for user.fat and hidden.fat
    bool interleaved = false, json = false;
    bool quiet = false; // no text report: the exit status alone (JSON is still printed)
};

int inspectFlashInfo(const Bytes &file, const InspectOptions &o);
int inspectCode(const Bytes &file, const InspectOptions &o);
int inspectE2p(const Bytes &file, const InspectOptions &o);
int inspectRai(const Bytes &file, const InspectOptions &o);

// The exit status of a report with these problems.
int finishReport(const std::vector<std::string> &problems);

} // namespace qvcli
