// quorvel diff: what changed between two releases on disk.
#include "cli/commands.h"
#include "cli/diff_print.h"
#include "cli/errors.h"
#include "cli/help_text.h"
#include "cli/merge_args.h"

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

// A release named by its manifest, its outputs in `outDir` (or beside it).
ReleaseOnDisk releaseOf(const std::string &path, const std::string &outDir, const char *which) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw UsageError(std::string(which) + " release: " + path + ": no such manifest");
    ReleaseOnDisk r;
    r.source = path;
    r.args = loadManifest(path, outDir);
    r.flash = flashSourceOf(r.args);
    return r;
}

int runDiff(const DiffOptions &o) {
    const ReleaseOnDisk oldDisk = releaseOf(o.oldPath, o.oldOutDir, "old");
    const ReleaseOnDisk newDisk = releaseOf(o.newPath, o.newOutDir, "new");
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
    cmd->add_option("old", o->oldPath, "the earlier release's manifest")->required()->type_name("OLD");
    cmd->add_option("new", o->newPath, "the later release's manifest")->required()->type_name("NEW");
    cmd->add_option("--old-out-dir", o->oldOutDir, "folder the merge put OLD's outputs in")->type_name("DIR");
    cmd->add_option("--new-out-dir", o->newOutDir, "folder the merge put NEW's outputs in")->type_name("DIR");
    cmd->add_option("--report", o->report, "also write the comparison as one HTML page")->type_name("FILE");
    cmd->add_flag("--json", o->json, "print the comparison as JSON");
    cmd->add_flag("--quiet,-q", o->quiet, "print nothing: the exit status says whether anything differs");
    cmd->footer(kDiffFooter);
    cmd->callback([o, &status] { status = guarded(o->json, [&] { return runDiff(*o); }); });
}

} // namespace qvcli
