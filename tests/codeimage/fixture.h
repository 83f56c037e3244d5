// Common frame of the code image tests: a fresh process state, a merge log
// in a temporary folder, and a registered FlashInfo record.
#pragma once

#include "builders.h"

#include "support/context.h"
#include "flash/geometry.h"

#include <gtest/gtest.h>

namespace cvtest {

// The flash of most tests: 64 sectors of 64 KB at 0x04000000, chip 0x0012
// sub 1, options bit 0 set, CUS offset 0x10000, one memory part 0x2C01/0x1234.
qvtest::FlashInfoSpec standardFlash(bool interleaved = false);

class CodeImageTest : public ::testing::Test, protected qvtest::TestContext {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds and registers the record (kept alive by the fixture).
    qv::FlashInfo useFlash(const qvtest::FlashInfoSpec &flashDesc);
    // Writes `data` to a file of the temporary folder; returns its path.
    std::string put(const std::string &name, const Bytes &data);
    // Closes the merge log and returns its lines.
    std::vector<std::string> logLines();

    qvtest::TempDir dir;
    std::string logPath;
    Bytes flashRecord;
};

// True when `lines` holds `expected` as a contiguous run.
bool hasRun(const std::vector<std::string> &lines, const std::vector<std::string> &expected);

} // namespace cvtest
