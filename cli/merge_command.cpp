// quorvel merge: runs one merge from flags and prints the three outputs.
#include "cli/commands.h"
#include "cli/io.h"

#include <quorvel/quorvel.h>

#include <cstdio>
#include <iostream>
#include <memory>

namespace qvcli {
namespace {

struct MergeArgs {
    std::string flashInfo, e2pBase, e2pArea, e2pAreaOut;
    std::vector<std::string> images, patches, cus, e2pFiles;
    std::string outCode, outE2p, outRai, log = "quorvel.log";
    bool eraseAll = false, json = false;
};

const char *typeName(uint32_t type) {
    switch (type) {
    case QUORVEL_TYPE_CODE: return "code";
    case QUORVEL_TYPE_E2P: return "e2p";
    case QUORVEL_TYPE_RAI: return "rai";
    default: return "-";
    }
}

void printOutputs(const qv::MergeOutputs &outs, bool json) {
    if (json) {
        std::printf("{\"result\": 0, \"outputs\": [");
        for (size_t i = 0; i < outs.size(); ++i)
            std::printf("%s{\"type\": %u, \"address\": %u, \"size\": %u, \"path\": \"%s\"}", i ? ", " : "",
                        outs[i].imageType, outs[i].imageAddress, outs[i].imageSize,
                        jsonEscape(outs[i].imagePath).c_str());
        std::printf("]}\n");
        return;
    }
    std::printf("%-5s %-10s %-10s %-10s %s\n", "image", "type", "address", "size", "path");
    for (const qv::OutputImage &o : outs)
        std::printf("%-5s 0x%08x 0x%08x %-10u %s\n", typeName(o.imageType), o.imageType, o.imageAddress,
                    o.imageSize, o.imagePath.c_str());
}

int runMerge(const MergeArgs &a) {
    std::vector<uint8_t> flash, base, area;
    if (!readFlashInfo(a.flashInfo, flash) || !readWholeFile(a.e2pBase, base) || !readWholeFile(a.e2pArea, area))
        return 1;
    qv::MergeOutputs outs;
    outs[qv::kCodeOutput].imagePath = a.outCode;
    outs[qv::kE2pOutput].imagePath = a.outE2p;
    outs[qv::kRaiOutput].imagePath = a.outRai;
    std::string message;
    int32_t r = quorvel(flash.data(), &outs, a.images, a.patches, a.cus, base.data(), uint32_t(base.size()),
                        area.data(), uint32_t(area.size()), a.e2pFiles, 0, a.eraseAll ? 1 : 0, message, a.log, 0);
    if (r != 0) {
        std::fprintf(stderr, "error %d: %s\n", r, message.c_str());
        return 1;
    }
    if (!a.e2pAreaOut.empty() && !writeWholeFile(a.e2pAreaOut, area)) return 1;
    printOutputs(outs, a.json);
    return 0;
}

} // namespace

void addMergeCommand(CLI::App &app) {
    auto args = std::make_shared<MergeArgs>();
    CLI::App *cmd = app.add_subcommand("merge", "Merge a release into the code, E2P and RAI images");
    cmd->add_option("--flash-info", args->flashInfo, "binary FlashInfo record")->required();
    cmd->add_option("--image", args->images, "code file or RAI input (repeatable, order kept)");
    cmd->add_option("--patch", args->patches, "DSP patch or MCP file (repeatable)");
    cmd->add_option("--cus", args->cus, "CUS file (repeatable, packed in this order)");
    cmd->add_option("--e2p-file", args->e2pFiles, "E2P description file (repeatable)");
    cmd->add_option("--e2p-base", args->e2pBase, "E2P base image (sized by its file)")->required();
    cmd->add_option("--e2p-area", args->e2pArea, "E2P journal area (sized by its file)")->required();
    cmd->add_option("--e2p-area-out", args->e2pAreaOut, "where to write the merged E2P area");
    cmd->add_option("--out-code", args->outCode, "code image to create");
    cmd->add_option("--out-e2p", args->outE2p, "E2P image to create");
    cmd->add_option("--out-rai", args->outRai, "RAI image to create");
    cmd->add_option("--log", args->log, "merge log")->capture_default_str();
    cmd->add_flag("--erase-all", args->eraseAll, "start from an erased E2P area and base");
    cmd->add_flag("--json", args->json, "print the outputs as JSON");
    cmd->callback([args] { setExitCode(runMerge(*args)); });
}

} // namespace qvcli
