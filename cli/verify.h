// quorvel verify: is this the release the record describes? The folder (its
// inputs and outputs against their digests), the release merged again, or a
// read-back of the device against the flash the release puts there.
#pragma once

#include "cli/json_fields.h"
#include "cli/record.h"
#include "report/model.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvcli {

// One difference (or one range the check could not see), as a line of text
// and as JSON.
struct Finding {
    std::string text;
    Json json;
};

struct VerifyResult {
    std::vector<Finding> differences;
    std::vector<Finding> notChecked; // ranges of the flash the readback does not cover
    std::vector<std::string> checked; // what was compared, one line each
};

// The size and digest of a file on disk (fileFacts(), or where a pass over
// the bytes took them already).
using FactsOf = std::function<FileFacts(const std::string &path)>;

// Every input and every output file of the record against its recorded size
// and digest; `outputsOnly` leaves the inputs out.
void verifyFolder(const ReleaseRecord &r, bool outputsOnly, VerifyResult &v, const FactsOf &facts = FactsOf());

// Merges the release again into a temporary folder with the recorded time
// and compares every output with the folder's, byte for byte.
void verifyRemerge(const ReleaseRecord &r, VerifyResult &v);

struct ReadbackOptions {
    std::string path;
    std::string format;         // --flash-format, else by the name
    std::optional<uint64_t> at; // a raw readback's flash address; default the flash's base
    bool e2pContent = false;    // the E2P partition by what its journal replays to
    bool skipImageDigests = false; // compare with the images as they are (their folder checked before)
};
// Compares a read-back of the device with the release's flash. Throws
// InputError for a readback that is not what it should be, UsageError for
// an --at outside the flash.
void verifyReadback(const ReleaseRecord &r, const ReadbackOptions &o, VerifyResult &v);

} // namespace qvcli
