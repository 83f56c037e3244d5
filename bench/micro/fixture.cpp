#include "micro/fixture.h"

#include "entry/context.h"
#include "e2p/access.h"
#include "flash/geometry.h"

#include <cstdlib>
#include <filesystem>
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

void setUpFlashState(bool interleaved, uint16_t raiUnits) {
    qv::resetForCall();
    flashInfo() = makeFlashInfo(8192, interleaved);
    e2pImage() = makeE2pBase(kE2pAreaBytes, raiUnits, 255, interleaved);
    qv::fms_SetFlashInfo(flashInfo().data());
    qv::State &s = qv::state();
    s.e2pAreaSize = kE2pAreaBytes;
    s.versionAddr = kVersionAddr;
    s.versionAddr1 = kVersionAddr1;
    qv::fms_E2pSetImage(e2pImage().data(), uint32_t(e2pImage().size()));
}

} // namespace qvbench
