#include "fixture.h"

#include <algorithm>

namespace cvtest {

qvtest::FlashInfoSpec standardFlash(bool interleaved) { return qvtest::exampleFlash(interleaved); }

void CodeImageTest::SetUp() {
    qvtest::resetContext(ctx);
    seam = qvtest::IoFaultSeam{};
    logPath = dir.file("merge.log");
    ctx.io.log.open(logPath);
}

void CodeImageTest::TearDown() {
    seam = qvtest::IoFaultSeam{};
    qvtest::resetContext(ctx);
}

qv::FlashInfo CodeImageTest::useFlash(const qvtest::FlashInfoSpec &flashDesc) {
    flashRecord = flashDesc.build();
    qv::fms_SetFlashInfo(ctx.flash, flashRecord.data());
    ctx.flash.versionAddr = flashDesc.versionAddr;
    ctx.flash.versionAddr1 = flashDesc.versionAddr1;
    return qv::FlashInfo(flashRecord.data());
}

std::string CodeImageTest::put(const std::string &name, const Bytes &data) {
    std::string path = dir.file(name);
    qvtest::writeFile(path, data);
    return path;
}

std::vector<std::string> CodeImageTest::logLines() {
    ctx.io.log.close();
    return qvtest::readLines(logPath);
}

bool hasRun(const std::vector<std::string> &lines, const std::vector<std::string> &expected) {
    return std::search(lines.begin(), lines.end(), expected.begin(), expected.end()) != lines.end();
}

} // namespace cvtest
