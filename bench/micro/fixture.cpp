#include "micro/fixture.h"

#include "entry/context.h"
#include "e2p/access.h"
#include "flash/geometry.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace fs = std::filesystem;

namespace qvbench {
namespace {

struct Scratch {
    std::string path;
    Scratch() {
        std::string tmpl = (fs::temp_directory_path() / "quorvel-micro-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a scratch folder");
        path = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

Bytes &flashInfo() {
    static Bytes b;
    return b;
}

Bytes &e2pImage() {
    static Bytes b;
    return b;
}

} // namespace

const std::string &scratchDir() {
    static Scratch s;
    return s.path;
}

std::string scratchFile(const std::string &name) { return scratchDir() + "/" + name; }

namespace {

std::unique_ptr<qv::MergeContext> &contextSlot() {
    static std::unique_ptr<qv::MergeContext> c;
    return c;
}

} // namespace

qv::MergeContext &benchContext() {
    if (!contextSlot()) contextSlot() = std::make_unique<qv::MergeContext>();
    return *contextSlot();
}

void setUpFlashState(bool interleaved, uint16_t raiUnits) {
    contextSlot() = std::make_unique<qv::MergeContext>();
    qv::MergeContext &ctx = benchContext();
    flashInfo() = makeFlashInfo(8192, interleaved);
    e2pImage() = makeE2pBase(kE2pAreaBytes, raiUnits, 255, interleaved);
    qv::fms_SetFlashInfo(ctx.flash, flashInfo().data());
    ctx.e2p.e2pAreaSize = kE2pAreaBytes;
    ctx.flash.versionAddr = kVersionAddr;
    ctx.flash.versionAddr1 = kVersionAddr1;
    qv::fms_E2pSetImage(ctx.e2p, e2pImage().data(), uint32_t(e2pImage().size()));
}

} // namespace qvbench
