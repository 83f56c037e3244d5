// The release record: one JSON file that says what a merge took and made
// (docs/formats.md, "Release record"): the tool, the recorded time, the flash
// description and the digest of its record, every input with its kind, size,
// digest and use, every output with its place in the flash and its digest,
// the log's digest and the merge's result. `verify` and `export` start from it.
#pragma once

#include "cli/json_fields.h"
#include "report/model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvcli {

inline constexpr int kRecordVersion = 1;
inline constexpr const char *kRecordFormat = "quorvel release record";

// A file the record names: its path as stored (relative to the record's
// folder where it can be), its size and SHA-256.
struct RecordFile {
    std::string path;
    bool exists = false;
    uint64_t size = 0;
    std::string sha256;
};

struct RecordInput {
    std::string list; // the merge argument it was given as: flashInfo, images, patches, cus, e2pFiles, e2pBase, e2pArea, manifest
    std::string kind; // as the merge sorts it
    RecordFile file;
    bool used = true;
    std::string usedFor;
};

struct RecordOutput {
    std::string image; // "code", "e2p" or "rai"
    bool produced = false;
    uint32_t type = 0, address = 0, size = 0; // the output entry; address in the flash
    RecordFile file;
};

// Where the partition map puts the areas at the top of the flash.
struct RecordAreas {
    uint32_t raiBase = 0, traceBase = 0, e2pBase = 0, top = 0;
};

struct ReleaseRecord {
    int version = kRecordVersion;
    std::string tool;
    std::optional<int64_t> recordedTime; // SOURCE_DATE_EPOCH; none: the code file's last write
    qv::FlashDesc flash;
    std::string flashRecordSha256;
    bool eraseAll = false;
    std::vector<RecordInput> inputs;
    std::vector<RecordOutput> outputs; // code, e2p, rai
    std::optional<RecordFile> mergedArea;
    RecordFile log;
    int32_t result = 0;
    std::string message, cause;
    std::optional<RecordAreas> areas;

    std::string folder; // where the record lies: its paths are taken from here (not stored)
    const RecordOutput *output(const std::string &image) const;
    // A stored path as the command opens it.
    std::string pathOf(const RecordFile &f) const;
};

Json recordToJson(const ReleaseRecord &r);
// The record of `j`; throws InputError naming `what` (the file) and the
// field for a record that is not one, of another format version, or bad.
ReleaseRecord recordFromJson(const Json &j, const std::string &what);
// Reads and parses the record file (at most a JSON file's bound).
ReleaseRecord readRecord(const std::string &path);

// The record of a merge: the release as the report gathers it, with paths
// made relative to the folder of `recordPath`.
ReleaseRecord recordOf(const ReleaseModel &m, const MergeArgs &a, ByteView flashRecord,
                       std::optional<int64_t> recordedTime, const std::string &recordPath);
// The merge arguments the record names: inputs and outputs where the record
// lies; `lenient` is set when an input went unused (the merge took it only
// as --lenient does).
MergeArgs recordedArgs(const ReleaseRecord &r, bool &lenient);
// Writes it through the command's one output path; throws InputError.
void writeRecord(const std::string &path, const ReleaseRecord &r, bool sync);

} // namespace qvcli
