#include "cli/commands.h"
#include "cli/detect_kind.h"
#include "cli/errors.h"
#include "cli/inspect.h"
#include "cli/help_text.h"

#include <memory>

namespace qvcli {
namespace {

// --kind, else the kind the file's bytes tell.
FileKind kindOf(const Bytes &file, const InspectOptions &o) {
    if (!o.kind.empty()) {
        auto k = kindFromName(o.kind);
        if (!k) throw UsageError("--kind: \"" + o.kind + "\" is none of code, e2p, rai, flashinfo");
        return *k;
    }
    if (o.file.ends_with(".json")) return FileKind::FlashInfo;
    auto k = detectKind(file);
    if (const std::string look = lookOf(file); !k && !look.empty())
        throw InputError(o.file + ": not recognised: " + look + "; inspect reads code, E2P and RAI images and "
                                  "FlashInfo records");
    if (!k)
        throw InputError(o.file + ": not recognised: no code, E2P or RAI image and no FlashInfo record (--kind reads "
                                  "it as one; a code image without CUS area needs --kind code)");
    return *k;
}

int runInspect(const InspectOptions &o) {
    const Bytes file = o.file.ends_with(".json") ? Bytes() : readWholeFile(o.file, kImageBound);
    const FileKind kind = kindOf(file, o);
    if (!o.extractFat.empty() && kind != FileKind::Rai)
        throw UsageError("--extract-fat: " + o.file + " is a " + kindName(kind) + " file, not an RAI image");
    switch (kind) {
    case FileKind::FlashInfo: return inspectFlashInfo(file, o);
    case FileKind::Code: return inspectCode(file, o);
    case FileKind::E2p: return inspectE2p(file, o);
    case FileKind::Rai: return inspectRai(file, o);
    }
    return kExitFailed;
}

} // namespace

void addInspectCommand(CLI::App &app, int &status) {
    auto o = std::make_shared<InspectOptions>();
    CLI::App *cmd = app.add_subcommand("inspect", "Show what a code, E2P or RAI image or a FlashInfo record holds");
    cmd->add_option("file", o->file, "the file to inspect")->required()->type_name("FILE");
    cmd->add_option("--kind", o->kind, "code, e2p, rai or flashinfo (default: told from the file)")
        ->type_name("KIND");
    cmd->add_flag("--json", o->json, "print the report as JSON");
    cmd->add_flag("--quiet,-q", o->quiet, "print no text report: the exit status says whether the file is sound");
    cmd->add_option("--e2p-base", o->e2pBase, "E2P image: the base image to replay the journal onto (optional)")
        ->type_name("FILE");
    cmd->add_option("--e2p-file", o->e2pFiles,
                    "E2P image: a description file that went into it, to list its parameters by name (with "
                    "--e2p-base; repeat in merge order)")
        ->type_name("FILE");
    cmd->add_option("--rai-base", o->raiBase,
                    "RAI image: the area's flash address, hex (0x...) or decimal (optional; default: from the "
                    "partition map, or 0 with --sector-size)")
        ->type_name("ADDR");
    cmd->add_option("--flash-info", o->flashInfo, "FlashInfo record or JSON description (layout, partition map)")
        ->type_name("FILE");
    cmd->add_option("--e2p-area", o->e2pArea, "RAI: the merged E2P area, to place the RAI area")->type_name("FILE");
    cmd->add_option("--trace-version", o->traceVersion, "RAI: trace version of the merge (default: from FlashInfo)")
        ->type_name("N");
    cmd->add_option("--sector-size", o->sectorSize, "RAI: sector size (instead of the partition map)")
        ->type_name("BYTES");
    cmd->add_option("--sectors", o->sectors, "RAI: number of sectors (default: from the file's length)")
        ->type_name("N");
    cmd->add_flag("--interleaved", o->interleaved, "the images use the interleaved layout");
    cmd->add_option("--extract-fat", o->extractFat, "RAI: write user.fat and hidden.fat into this folder")
        ->type_name("DIR");
    cmd->footer(kInspectFooter);
    cmd->callback([o, &status] { status = guarded(o->json, [&] { return runInspect(*o); }); });
}

} // namespace qvcli
