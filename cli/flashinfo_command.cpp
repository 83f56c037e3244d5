// quorvel flashinfo: converts a flash description between its JSON form and
// the binary FlashInfo record, in either direction (by the names' endings).
#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/flash_info_file.h"
#include "cli/help_text.h"
#include "cli/paths.h"
#include "entry/strict_inputs.h"

#include <cstdio>
#include <memory>

namespace qvcli {
namespace {

struct FlashInfoOptions {
    std::string from, out;
    bool quiet = false;
};

int runFlashInfo(const FlashInfoOptions &o) {
    checkOutputPaths({{o.from, "--from"}}, {{o.out, "-o"}});
    const FlashRecord record = loadFlashRecord(o.from);
    // A description the merge would refuse is not written, in either form.
    if (std::string why; qv::checkStrictFlashInfo(record.bytes, o.from, why) != 0) throw InputError(why);
    const FlashDesc &d = record.desc;
    Bytes out;
    if (o.out.ends_with(".json")) {
        const std::string text = dumpJson(flashDescToJson(d), 2) + "\n";
        out.assign(text.begin(), text.end());
    } else {
        out = qv::encodeFlashDesc(d);
    }
    writeWholeFile(o.out, out);
    if (!o.quiet) std::printf("wrote %s (%zu bytes)\n", o.out.c_str(), out.size());
    return kExitOk;
}

} // namespace

void addFlashInfoCommand(CLI::App &app, int &status) {
    auto o = std::make_shared<FlashInfoOptions>();
    CLI::App *cmd = app.add_subcommand(
        "flashinfo", "Write a FlashInfo record from a JSON flash description (or the description from a record)");
    cmd->add_option("--from", o->from, "JSON flash description (.json) or binary FlashInfo record")
        ->required()
        ->type_name("FILE");
    cmd->add_option("-o,--output", o->out, "record to write; a name ending in .json gets the JSON description")
        ->required()
        ->type_name("FILE");
    cmd->add_flag("--quiet,-q", o->quiet, "print nothing on success");
    cmd->footer(kFlashInfoFooter);
    cmd->callback([o, &status] { status = guarded(false, [&] { return runFlashInfo(*o); }); });
}

} // namespace qvcli
