#include "fixture.h"

#include <algorithm>

namespace cvtest {

qvtest::FlashInfoSpec standardFlash(bool interleaved) { return qvtest::exampleFlash(interleaved); }

void CodeImageTest::SetUp() {
    qv::resetForCall();
    qv::state().io = {};
    logPath = dir.file("merge.log");
    qv::state().log.open(logPath);
}

void CodeImageTest::TearDown() {
    qv::state().io = {};
    qv::resetForCall();
}

qv::FlashInfo CodeImageTest::useFlash(const qvtest::FlashInfoSpec &flashDesc) {
    flashRecord = flashDesc.build();
    qv::fms_SetFlashInfo(flashRecord.data());
    qv::state().versionAddr = flashDesc.versionAddr;
    qv::state().versionAddr1 = flashDesc.versionAddr1;
    return qv::FlashInfo(flashRecord.data());
}

std::string CodeImageTest::put(const std::string &name, const Bytes &data) {
    std::string path = dir.file(name);
    qvtest::writeFile(path, data);
    return path;
}

std::vector<std::string> CodeImageTest::logLines() {
    qv::state().log.close();
    return qvtest::readLines(logPath);
}

bool hasRun(const std::vector<std::string> &lines, const std::vector<std::string> &expected) {
    return std::search(lines.begin(), lines.end(), expected.begin(), expected.end()) != lines.end();
}

} // namespace cvtest
