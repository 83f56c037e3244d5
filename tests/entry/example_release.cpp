#include "example_release.h"

#include "entry/merge_call.h"

namespace qvtest {

namespace {
const std::string kRelease = std::string(QUORVEL_SOURCE_DIR) + "/examples/release/";

void addExisting(std::vector<std::string> &list, std::initializer_list<const char *> names) {
    for (const char *n : names)
        if (fileExists(kRelease + n)) list.push_back(kRelease + n);
}
} // namespace

ExampleMerge::ExampleMerge(const std::string &outDir) {
    addExisting(images, {"firmware.bin", "user.fat", "hidden.fat"});
    addExisting(patches, {"dsp.pat", "mcp.bin"});
    addExisting(cus, {"logo.cus", "sens.cus"});
    addExisting(e2pFiles, {"params.e2p", "extra.e2p"});
    flash = readFile(kRelease + "flash.bin");
    base = readFile(kRelease + "e2p_base.bin");
    area = readFile(kRelease + "e2p_area.bin");
    outs[0].imagePath = outDir + "/code.img";
    outs[1].imagePath = outDir + "/e2p.img";
    outs[2].imagePath = outDir + "/rai.img";
    log = outDir + "/merge.log";
}

int ExampleMerge::run() {
    return quorvel(flash.data(), &outs, images, patches, cus, base.data(), uint32_t(base.size()), area.data(),
                   uint32_t(area.size()), e2pFiles, 0, eraseAll ? 1 : 0, message, log, 0);
}

int ExampleMerge::run(qv::FileSystem &fs) {
    qv::MergeContext ctx;
    ctx.io.fs = &fs;
    const qv::MergeRequest rq{.flashInfo = flash.data(),
                              .images = images,
                              .patches = patches,
                              .cus = cus,
                              .e2pFiles = e2pFiles,
                              .e2pBase = base.data(),
                              .e2pBaseSize = uint32_t(base.size()),
                              .e2pArea = area.data(),
                              .e2pAreaSize = uint32_t(area.size()),
                              .eraseAll = eraseAll ? 1 : 0,
                              .logPath = log,
                              .control = {.flags = flags}};
    return qv::runMerge(ctx, rq, qv::OutputSlots(&outs), qv::MessageSlot(&message));
}

std::vector<Bytes> ExampleMerge::images_() const {
    return {readFile(outs[0].imagePath), readFile(outs[1].imagePath), readFile(outs[2].imagePath)};
}

} // namespace qvtest
