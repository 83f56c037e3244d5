// What changed between two releases: the flash description, the code image
// and its CUS area, the E2P parameters by name, the file-system sectors of
// the RAI area and the inputs. Each release is read from disk by the release
// report's own gathering (without digests: files are compared by their
// bytes, and only the ones that differ are hashed).
#pragma once

#include "report/model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvcli {

// A release as it lies on disk: its flash description, its inputs by role
// and its output images, and what the file that names it says about them.
struct ReleaseOnDisk {
    std::string source; // the manifest or release record that names it
    MergeArgs args;
    FlashSource flash;
    std::vector<std::string> notes; // files moved or changed since they were recorded
};

// A release read for the comparison: the report's model, and the code
// image's bytes when it could be read.
struct ReleaseRead {
    ReleaseOnDisk disk;
    ReleaseModel model;
};
ReleaseRead readRelease(ReleaseOnDisk disk);

struct FieldChange {
    std::string field, before, after;
};

struct Range {
    uint64_t start = 0, end = 0; // [start, end)
};

// Runs of consecutive bytes or sector numbers: how many runs, how many
// units in all, and the first runs.
struct RangeList {
    uint64_t runs = 0, count = 0;
    std::vector<Range> first;
    // Adds [start, end), which starts at or after the end of the last one,
    // joining it to the last run when they touch.
    void add(uint64_t start, uint64_t end);

private:
    uint64_t lastEnd_ = 0;
};
inline constexpr size_t kRangesListed = 8;
// "0x00001000-0x00001003, 0x00002000 and 3 more" (sector numbers in decimal),
// `dash` between the ends of a run.
std::string rangesText(const RangeList &l, bool hexAddresses, const char *dash);

enum class Change { Added, Removed, Changed };
const char *changeName(Change c);

struct CusChange {
    Change change = Change::Changed;
    std::string ident, kind, name; // name: the CUS file's, for a CUS file record
    uint32_t before = 0, after = 0; // record lengths
};

struct ParamChange {
    Change change = Change::Changed;
    std::string name;
    int32_t address = 0;
    std::string before, after; // the values as text
    const qv::E2pParam *oldParam = nullptr, *newParam = nullptr;
    const qv::E2pParamNow *oldNow = nullptr, *newNow = nullptr;
};

struct FatChange {
    std::string image; // "user FAT", "hidden FAT"
    uint32_t before = 0, after = 0; // sectors stored
    RangeList added, removed, changed; // sector numbers
};

struct InputChange {
    Change change = Change::Changed;
    std::string role, name;
    FileFacts before, after; // hashed
};

struct ReleaseDiff {
    std::string oldSource, newSource;
    bool otherFlash = false; // a different flash: chip, size, regions or base differ
    std::vector<FieldChange> flash, code;
    RangeList codeSection;
    std::vector<CusChange> cus;
    std::vector<ParamChange> params;
    std::vector<E2pChangedBlock> e2pBlocks; // changed bytes no object covers
    std::vector<FatChange> fat;
    std::optional<double> fillBefore, fillAfter; // RAI use in percent
    uint32_t itemsBefore = 0, itemsAfter = 0;
    std::vector<InputChange> inputs;
    std::vector<std::string> notes; // what could not be read or compared

    bool differs() const;
};

ReleaseDiff compareReleases(const ReleaseRead &before, const ReleaseRead &after);

// The parts of the comparison, each in its own file.
void compareFlash(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d);
void compareCode(const ReleaseRead &a, const ReleaseRead &b, ReleaseDiff &d);
void compareParams(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d);
void compareRai(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d);
void compareInputs(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d);

// The comparison as one self-contained page in the release report's style.
std::string renderDiffPage(const ReleaseDiff &d, const ReleaseRead &before, const ReleaseRead &after);

} // namespace qvcli
