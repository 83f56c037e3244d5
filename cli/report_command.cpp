// quorvel report: the release report of a manifest's existing outputs,
// without merging again.
#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/help_text.h"
#include "cli/merge_args.h"
#include "report/release_report.h"

#include <cstdio>
#include <memory>

namespace qvcli {
namespace {

struct ReportOptions {
    std::string manifest, outDir, out;
    bool quiet = false;
};

// Every file of the release the page reads: the manifest, the merge's inputs
// and the outputs it left.
std::vector<NamedPath> releaseFiles(const MergeArgs &a, const std::string &manifest) {
    std::vector<NamedPath> files = {{manifest, "--manifest"}};
    for (const std::string *p : {&a.flashInfoPath, &a.e2pBase, &a.e2pArea})
        files.push_back({*p, "an input of the manifest"});
    for (const auto *list : {&a.images, &a.patches, &a.cus, &a.e2pFiles})
        for (const std::string &p : *list) files.push_back({p, "an input of the manifest"});
    files.insert(files.end(), {{a.outCode, "the manifest's code image"},
                               {a.outE2p, "the manifest's E2P image"},
                               {a.outRai, "the manifest's RAI image"},
                               {a.log, "the manifest's log"},
                               {a.e2pAreaOut, "the manifest's merged E2P area"}});
    return files;
}

int runReport(const ReportOptions &o) {
    const MergeArgs args = loadManifest(o.manifest, o.outDir);
    const std::string out = o.out.empty() ? resolvePath(o.outDir.empty() ? directoryOf(o.manifest) : o.outDir,
                                                        "report.html")
                                          : o.out;
    checkOutputPaths(releaseFiles(args, o.manifest), {{out, o.out.empty() ? "the report" : "-o"}});
    writeReleaseReport(out, args, o.manifest, flashSourceOf(args), std::nullopt);
    if (!o.quiet) std::printf("wrote %s\n", out.c_str());
    return kExitOk;
}

} // namespace

void addReportCommand(CLI::App &app, int &status) {
    auto o = std::make_shared<ReportOptions>();
    CLI::App *cmd = app.add_subcommand("report", "Write the release report (one HTML page) of a merged release");
    cmd->add_option("--manifest", o->manifest, "release manifest (JSON) whose outputs were merged (required)")
        ->required()
        ->type_name("FILE");
    cmd->add_option("--out-dir", o->outDir, "folder the merge put the manifest's outputs in (as for merge)")
        ->type_name("DIR");
    cmd->add_option("-o,--output", o->out, "the page to write (default: report.html beside the outputs)")
        ->type_name("FILE");
    cmd->add_flag("--quiet,-q", o->quiet, "print nothing on success");
    cmd->footer(kReportFooter);
    cmd->callback([o, &status] { status = guarded(false, [&] { return runReport(*o); }); });
}

} // namespace qvcli
