// quorvel export: the programmer file of a recorded release, written once its
// images have been checked against their digests.
#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/flash_file.h"
#include "cli/help_text.h"
#include "cli/paths.h"
#include "cli/verify.h"

#include <iostream>
#include <memory>

namespace qvcli {
namespace {

struct ExportOptions {
    std::string record, out, format;
    bool sync = false;
};

int runExport(const ExportOptions &o) {
    const FlashFormat format = flashFormatFor(o.out, o.format, "-o");
    const ReleaseRecord r = readRecord(o.record);
    std::vector<NamedPath> inputs = {{o.record, "--record"}};
    for (const RecordOutput &image : r.outputs)
        if (!image.file.path.empty()) inputs.push_back({r.pathOf(image.file), "the record's " + image.image + " image"});
    checkOutputPaths(inputs, {{o.out, "-o"}});
    // The images are hashed while the file is written from them; it
    // replaces an earlier one only when they all match their digests.
    const FlashLayout layout = flashLayoutOf(r);
    ImageFacts digests(layout);
    FlashContent content(layout);
    writeFlashFile(o.out, format, content, o.sync, [&] {
        VerifyResult v;
        verifyFolder(r, true, v, [&](const std::string &path) { return digests(path); });
        for (const Finding &f : v.differences) std::cerr << "differs: " << f.text << "\n";
        if (!v.differences.empty())
            throw InputError(o.record + ": the images are not those of the record; nothing written");
    });
    return kExitOk;
}

} // namespace

void addExportCommand(CLI::App &app, int &status) {
    auto o = std::make_shared<ExportOptions>();
    CLI::App *cmd = app.add_subcommand("export", "Write the whole flash of a recorded release as one programmer file");
    cmd->add_option("--record", o->record, "the release record (JSON) that merge --record wrote")->type_name("FILE")->required();
    cmd->add_option("-o,--out", o->out, "the programmer file (.bin, .hex/.ihex, .srec/.s37/.mot)")->type_name("FILE")->required();
    cmd->add_option("--flash-format", o->format, "raw, ihex or srec (default: by the name)")->type_name("FORMAT");
    cmd->add_flag("--sync", o->sync, "flush the file to the disk before it replaces an earlier one");
    cmd->footer(kExportFooter);
    cmd->callback([o, &status] { status = guarded(false, [&] { return runExport(*o); }); });
}

} // namespace qvcli
