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

int runReport(const ReportOptions &o) {
    const MergeArgs args = loadManifest(o.manifest, o.outDir);
    const std::string out = o.out.empty() ? resolvePath(o.outDir.empty() ? directoryOf(o.manifest) : o.outDir,
                                                        "report.html")
                                          : o.out;
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
