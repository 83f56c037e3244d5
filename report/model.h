// What a release report shows, gathered once from the same readers that
// `quorvel inspect` uses: the flash description and its regions, the code
// image with its CUS area, the E2P journal, the partition map, the RAI image,
// every input and output file, and the merge log. The page is drawn from this
// alone (render.h), so every reader call lives in gather.cpp.
#pragma once

#include "e2p/params_read.h"
#include "flash/geometry.h"
#include "report/readers.h"
#include "report/release_args.h"

#include <quorvel/quorvel.h>

#include <optional>
#include <string>
#include <vector>

namespace qvcli {

// A file as found on disk.
struct FileFacts {
    std::string path;
    bool exists = false;
    uint64_t size = 0;
    std::string sha256; // empty when the file cannot be read
};

struct InputFile {
    std::string kind; // as the merge sorts it: code, rai, dsp, mcp, cus, e2p, ...
    FileFacts file;
    bool used = true;
    std::string usedFor; // what it went into, or why it was not used
};

struct OutputFile {
    std::string image; // "code", "e2p" or "rai"
    bool produced = false; // the merge filled its entry (or its file is there)
    uint32_t type = 0, flashAddress = 0, size = 0;
    FileFacts file;
    std::string note; // what was written when it was not produced
};

// The merge that ran just before the report, when there was one.
struct MergeRun {
    int32_t result = 0;
    std::string message;
    qv::MergeOutputs outputs;
    Bytes mergedArea; // the E2P journal area after the merge
    // The outputs replace earlier files only when the merge succeeds: after
    // a failure every earlier file is as it was.
    bool safeOutputs = false;
    // Why the merge failed, in the words of the person who runs it, for the
    // failure banner; "" when none is known.
    std::string cause;
};

struct ReleaseModel {
    std::string source; // the manifest, or "" for a merge given by flags
    std::string record; // the release record the merge writes beside the page, if any
    std::optional<MergeRun> merge;
    std::optional<FlashRecord> flash;
    std::vector<qv::RegionRange> regions;
    uint64_t bankBase = 0, flashEnd = 0;
    std::optional<CodeImageContents> code;
    uint32_t codeAddress = 0; // flash address of the code image's first byte
    std::optional<E2pJournal> journal;
    std::vector<E2pChangedBlock> changed;
    std::optional<qv::E2pImageParams> params; // the parameters by name, with the description files
    std::optional<PartitionMap> map;
    std::optional<RaiStoreContents> rai;
    std::vector<InputFile> inputs;
    std::vector<OutputFile> outputs;
    std::string log;          // the merge log, cut when it is long
    uint64_t logLinesLeftOut = 0;
    std::vector<std::string> problems; // every reader's, each naming its source
};

// A merge ran and failed (or was cancelled) without touching the earlier
// outputs: the page shows the files as they were before it.
inline bool earlierFilesKept(const ReleaseModel &m) { return m.merge && m.merge->result != 0 && m.merge->safeOutputs; }

// Reads the release's outputs (and the merge's results, when `run` is set).
// Never throws for a file that cannot be read: the page says so instead.
// Without `digests` no file is hashed (sizes only).
ReleaseModel gatherRelease(const MergeArgs &args, const std::string &source, const FlashSource &flash,
                           std::optional<MergeRun> run, bool digests = true);

} // namespace qvcli
