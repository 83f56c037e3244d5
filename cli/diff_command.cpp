// quorvel diff: what changed between two releases on disk.
#include "cli/commands.h"
#include "cli/diff_print.h"
#include "cli/errors.h"
#include "cli/help_text.h"
#include "cli/paths.h"
#include "cli/json_fields.h"
#include "cli/merge_args.h"
#include "cli/record.h"
#include "cli/verify.h"
#include "base/system.h"

#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>

namespace qvcli {
namespace {

struct DiffOptions {
    std::string oldPath, newPath, oldOutDir, newOutDir, report;
    bool json = false, quiet = false;
};

// A release named by its record: the files it names, each one that moved or
// changed since it was recorded said in a note.
ReleaseOnDisk releaseOfRecord(const std::string &path, const std::string &outDir, const Json &j) {
    if (!outDir.empty()) throw UsageError(path + ": a release record names its outputs; --old-out-dir and --new-out-dir "
                                          "are for manifests");
    ReleaseRecord record = recordFromJson(j, path);
    record.folder = directoryOf(path);
    ReleaseOnDisk r;
    r.source = path;
    bool lenient = false;
    r.args = recordedArgs(record, lenient);
    r.flash = flashSourceOf(r.args);
    VerifyResult since;
    verifyFolder(record, false, since);
    for (const Finding &f : since.differences) r.notes.push_back(f.text);
    return r;
}

// A release named by its manifest, its outputs in `outDir` (or beside it), or
// by the release record a merge wrote.
ReleaseOnDisk releaseOf(const std::string &path, const std::string &outDir, const char *which) {
    if (qv::sys::fileStatus(path).kind != qv::sys::FileKind::regular)
        throw UsageError(std::string(which) + " release: " + path + ": no such manifest or release record");
    const Json j = parseJson(readTextFile(path, kJsonBound), path);
    if (j.is_object() && j.value("format", "") == kRecordFormat) return releaseOfRecord(path, outDir, j);
    ReleaseOnDisk r;
    r.source = path;
    r.args = loadManifest(path, outDir);
    r.flash = flashSourceOf(r.args);
    return r;
}

// Every file a release is read from, so that the page is written over none.
void addFiles(std::vector<NamedPath> &to, const ReleaseOnDisk &r, const std::string &which) {
    const MergeArgs &a = r.args;
    for (const std::string *p : {&r.source, &a.flashInfoPath, &a.e2pBase, &a.e2pArea, &a.e2pAreaOut, &a.outCode,
                                 &a.outE2p, &a.outRai, &a.log})
        to.push_back({*p, which});
    for (const std::vector<std::string> *list : {&a.images, &a.patches, &a.cus, &a.e2pFiles})
        for (const std::string &p : *list) to.push_back({p, which});
}

int runDiff(const DiffOptions &o) {
    const ReleaseOnDisk oldDisk = releaseOf(o.oldPath, o.oldOutDir, "old");
    const ReleaseOnDisk newDisk = releaseOf(o.newPath, o.newOutDir, "new");
    if (!o.report.empty()) {
        std::vector<NamedPath> read;
        addFiles(read, oldDisk, "a file of OLD");
        addFiles(read, newDisk, "a file of NEW");
        checkOutputPaths(read, {{o.report, "--report"}});
    }
    // The two releases are read side by side: each is hundreds of megabytes
    // for a large flash.
    auto older = std::async(std::launch::async, readRelease, oldDisk);
    const ReleaseRead after = readRelease(newDisk);
    const ReleaseRead before = older.get();
    const ReleaseDiff d = compareReleases(before, after);
    if (!o.report.empty()) {
        const std::string page = renderDiffPage(d, before, after);
        writeWholeFile(o.report, Bytes(page.begin(), page.end()));
    }
    if (o.json) std::printf("%s\n", dumpJson(diffJson(d), 2).c_str());
    else if (!o.quiet) printDiff(d);
    return d.differs() ? kExitFailed : kExitOk;
}

} // namespace

void addDiffCommand(CLI::App &app, int &status) {
    auto o = std::make_shared<DiffOptions>();
    CLI::App *cmd = app.add_subcommand("diff", "Show what changed between two merged releases");
    cmd->add_option("old", o->oldPath, "the earlier release's manifest or release record")->required()->type_name("OLD");
    cmd->add_option("new", o->newPath, "the later release's manifest or release record")->required()->type_name("NEW");
    cmd->add_option("--old-out-dir", o->oldOutDir, "folder the merge put OLD's outputs in")->type_name("DIR");
    cmd->add_option("--new-out-dir", o->newOutDir, "folder the merge put NEW's outputs in")->type_name("DIR");
    cmd->add_option("--report", o->report, "also write the comparison as one HTML page")->type_name("FILE");
    cmd->add_flag("--json", o->json, "print the comparison as JSON");
    cmd->add_flag("--quiet,-q", o->quiet, "print nothing: the exit status says whether anything differs");
    cmd->footer(kDiffFooter);
    cmd->callback([o, &status] { status = guarded(o->json, [&] { return runDiff(*o); }); });
}

} // namespace qvcli
