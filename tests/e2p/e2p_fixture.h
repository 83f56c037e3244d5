// Shared set-up of the E2P tests: a fresh merge context with a chosen
// E2P area size and layout.
#pragma once

#include "support/support.h"

#include "support/context.h"
#include "e2p/access.h"
#include "e2p/journal.h"
#include "flash/geometry.h"

#include <gtest/gtest.h>

namespace qvtest {

class E2pTest : public ::testing::Test, protected TestContext {
protected:
    void TearDown() override { qvtest::resetContext(ctx); }

    // Area size and layout for the accesses of the test.
    void setup(uint32_t areaSize, bool interleaved = false) {
        qvtest::resetContext(ctx);
        flash_ = uniformFlash(64, 0, interleaved).build();
        qv::fms_SetFlashInfo(ctx.flash, flash_.data());
        ctx.e2p.e2pAreaSize = areaSize;
    }
    static qv::E2pImageRef ref(Bytes &b) { return {b.data(), uint32_t(b.size())}; }
    void use(Bytes &b) { qv::fms_E2pSetImage(ctx.e2p, b.data(), uint32_t(b.size())); }

private:
    Bytes flash_;
};

} // namespace qvtest
