// quorvel merge: one merge from flags, from a release manifest, or from a
// manifest with flags over it; prints the three outputs and the time taken.
#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/help_text.h"
#include "cli/hex_records.h"
#include "cli/paths.h"
#include "cli/merge_args.h"
#include "cli/merge_run.h"
#include "cli/record_merge.h"
#include "base/system.h"

#include <filesystem>
#include <memory>
#include <utility>

namespace qvcli {
namespace {

struct MergeOptions {
    MergeArgs flags;
    std::string manifest, outDir;
    bool eraseAll = false;
    MergeSwitches switches;
};

// Without a manifest, --out-dir gives the outputs no flag names their usual
// names in that folder.
void defaultOutputs(MergeArgs &a, const std::string &dir) {
    const std::pair<std::string *, const char *> outputs[] = {
        {&a.outCode, "code.img"}, {&a.outE2p, "e2p.img"}, {&a.outRai, "rai.img"}, {&a.log, "merge.log"}};
    for (auto [path, name] : outputs)
        if (path->empty()) *path = resolvePath(dir, name);
}

MergeArgs collectArgs(const MergeOptions &o, bool eraseAllGiven) {
    MergeArgs a = o.flags;
    a.eraseAll = o.eraseAll;
    std::error_code ec;
    if (!o.outDir.empty()) std::filesystem::create_directories(qv::sys::fsPath(o.outDir), ec);
    if (ec) throw InputError("cannot create the folder " + o.outDir + ": " + ec.message());
    if (!o.manifest.empty()) {
        a = overrideWith(loadManifest(o.manifest, o.outDir), a, eraseAllGiven);
        if (a.record.empty() && !o.outDir.empty()) a.record = resolvePath(o.outDir, kDefaultRecordName);
    } else if (!o.outDir.empty()) {
        defaultOutputs(a, o.outDir);
    }
    if (a.log.empty()) a.log = "quorvel.log";
    checkMergeArgs(a, o.manifest, o.switches.report);
    if (!a.outFlash.empty()) flashFormatFor(a.outFlash, o.switches.flashFormat, "--out-flash");
    return a;
}

} // namespace

void addMergeCommand(CLI::App &app, int &status) {
    auto o = std::make_shared<MergeOptions>();
    CLI::App *cmd = app.add_subcommand("merge", "Merge a release into the code, E2P and RAI images");
    MergeArgs &f = o->flags;
    cmd->add_option("--manifest", o->manifest, "release manifest (JSON); flags given beside it override it")
        ->type_name("FILE");
    cmd->add_option("--out-dir", o->outDir, "folder for the outputs: the manifest's (default: the manifest's folder), else code.img, e2p.img, rai.img and merge.log for those no flag names")
        ->type_name("DIR");
    cmd->add_option("--flash-info", f.flashInfoPath,
                    "FlashInfo record, or a flash description ending in .json (required without a manifest)")
        ->type_name("FILE");
    cmd->add_option("--image", f.images, "code file or RAI input (repeatable, order kept)")->type_name("FILE");
    cmd->add_option("--patch", f.patches, "DSP patch or MCP file (repeatable)")->type_name("FILE");
    cmd->add_option("--cus", f.cus, "CUS file (repeatable, packed in this order)")->type_name("FILE");
    cmd->add_option("--e2p-file", f.e2pFiles, "E2P description file (repeatable)")->type_name("FILE");
    cmd->add_option("--e2p-base", f.e2pBase, "E2P base image, sized by its file (required without a manifest)")
        ->type_name("FILE");
    cmd->add_option("--e2p-area", f.e2pArea, "E2P journal area, sized by its file (required without a manifest)")
        ->type_name("FILE");
    cmd->add_option("--e2p-area-out", f.e2pAreaOut, "where to write the merged E2P area")->type_name("FILE");
    cmd->add_option("--out-code", f.outCode, "code image to create (required when the release has a code file or a CUS file)")->type_name("FILE");
    cmd->add_option("--out-e2p", f.outE2p, "E2P image to create (required when the release has a CUS file or an E2P description file)")->type_name("FILE");
    cmd->add_option("--out-rai", f.outRai, "RAI image to create (required: every merge writes one)")->type_name("FILE");
    cmd->add_option("--log", f.log, "merge log (default: quorvel.log)")->type_name("FILE");
    cmd->add_option("--record", f.record, "also write the release record (JSON) here: inputs, outputs and their digests")
        ->type_name("FILE");
    cmd->add_option("--out-flash", f.outFlash,
                    "also write the whole flash as one programmer file (.bin, .hex/.ihex, .srec/.s37/.mot)")
        ->type_name("FILE");
    cmd->add_option("--flash-format", o->switches.flashFormat, "the programmer file's format: raw, ihex or srec (default: by its name)")
        ->type_name("FORMAT");
    cmd->add_option("--report", o->switches.report, "also write the release report (one HTML page) here, after a failed merge too")
        ->type_name("FILE");
    CLI::Option *erase = cmd->add_flag("--erase-all", o->eraseAll, "start from an erased E2P area and base");
    cmd->add_flag("--json", o->switches.json, "print the outputs as JSON");
    cmd->add_flag("--quiet,-q", o->switches.quiet, "print nothing on success");
    cmd->add_flag("--lenient", o->switches.lenient,
                  "sort the inputs by their names and kind bytes alone and skip those not used (default: every "
                  "named input must exist, be recognised and be used)");
    cmd->add_flag("--sync", o->switches.sync, "flush the outputs to the disk before they replace earlier files");
    cmd->footer(kMergeFooter);
    cmd->callback([o, erase, &status] {
        o->switches.manifest = o->manifest;
        status = guarded(o->switches.json,
                         [&] { return runMerge(collectArgs(*o, erase->count() > 0), o->switches); });
    });
}

} // namespace qvcli
