// quorvel verify: the folder of a release, the release merged again, or a
// read-back of the device, against the release record. Exit 0 it matches,
// 1 it differs (each difference listed), 2 a usage error.
#include "cli/commands.h"
#include "cli/errors.h"
#include "cli/help_text.h"
#include "cli/verify.h"

#include <iostream>
#include <memory>

namespace qvcli {
namespace {

struct VerifyOptions {
    std::string record;
    bool remerge = false, json = false;
    ReadbackOptions readback;
    std::string at;
};

void print(const std::string &record, const VerifyResult &v, bool json) {
    const bool matches = v.differences.empty();
    if (json) {
        Json j{{"record", record}, {"matches", matches}, {"checked", v.checked}};
        j["differences"] = Json::array();
        for (const Finding &f : v.differences) j["differences"].push_back(f.json);
        j["notChecked"] = Json::array();
        for (const Finding &f : v.notChecked) j["notChecked"].push_back(f.json);
        std::cout << dumpJson(j, 2) << "\n";
        return;
    }
    for (const std::string &c : v.checked) std::cout << "checked: " << c << "\n";
    for (const Finding &f : v.notChecked) std::cout << "not checked: " << f.text << "\n";
    for (const Finding &f : v.differences) std::cout << "differs: " << f.text << "\n";
    std::cout << record << (matches ? ": matches" : ": differs (" + std::to_string(v.differences.size()) + ")") << "\n";
}

int runVerify(VerifyOptions &o) {
    const bool readback = !o.readback.path.empty();
    if (o.remerge && readback) throw UsageError("--remerge, --readback: one at a time");
    if (!readback && (!o.at.empty() || o.readback.e2pContent || !o.readback.format.empty() || o.readback.skipImageDigests))
        throw UsageError(std::string(!o.at.empty()                 ? "--at"
                                     : o.readback.e2pContent       ? "--e2p-content"
                                     : o.readback.skipImageDigests ? "--skip-image-digests"
                                                                   : "--flash-format") +
                         ": only with --readback");
    if (!o.at.empty()) o.readback.at = optionNumber(o.at, "--at", UINT32_MAX);
    const ReleaseRecord r = readRecord(o.record);
    VerifyResult v;
    if (o.remerge) verifyRemerge(r, v);
    else if (readback) verifyReadback(r, o.readback, v);
    else verifyFolder(r, false, v);
    print(o.record, v, o.json);
    return v.differences.empty() ? kExitOk : kExitFailed;
}

} // namespace

void addVerifyCommand(CLI::App &app, int &status) {
    auto o = std::make_shared<VerifyOptions>();
    CLI::App *cmd = app.add_subcommand("verify", "Check a release folder, a merge again or a device readback against its record");
    cmd->add_option("--record", o->record, "the release record (JSON) that merge --record wrote")->type_name("FILE")->required();
    cmd->add_flag("--remerge", o->remerge, "merge the release again into a temporary folder and compare every output");
    cmd->add_option("--readback", o->readback.path, "a read-back of the device: raw binary, Intel HEX or S-records")
        ->type_name("DUMP");
    cmd->add_option("--at", o->at, "flash address of a raw readback's first byte (default: the flash's base address)")
        ->type_name("ADDR");
    cmd->add_option("--flash-format", o->readback.format, "the readback's format: raw, ihex or srec (default: by its name)")
        ->type_name("FORMAT");
    cmd->add_flag("--e2p-content", o->readback.e2pContent,
                  "compare the E2P partition by the parameters its journal replays to, not byte for byte");
    cmd->add_flag("--skip-image-digests", o->readback.skipImageDigests,
                  "compare the readback with the images without checking their recorded digests (the folder was verified)");
    cmd->add_flag("--json", o->json, "print the result as JSON");
    cmd->footer(kVerifyFooter);
    cmd->callback([o, &status] { status = guarded(o->json, [&] { return runVerify(*o); }); });
}

} // namespace qvcli
