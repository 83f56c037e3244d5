// Shared set-up of the E2P tests: a clean process-wide state with a chosen
// E2P area size and layout.
#pragma once

#include "support/support.h"

#include "entry/context.h"
#include "e2p/access.h"
#include "e2p/journal.h"
#include "flash/geometry.h"

#include <gtest/gtest.h>

namespace qvtest {

class E2pState : public ::testing::Test {
protected:
    void TearDown() override { qv::resetForCall(); }

    // Area size and layout for the accesses of the test.
    void setup(uint32_t areaSize, bool interleaved = false) {
        qv::resetForCall();
        flash_ = uniformFlash(64, 0, interleaved).build();
        qv::fms_SetFlashInfo(flash_.data());
        qv::state().e2pAreaSize = areaSize;
    }
    static qv::E2pImageRef ref(Bytes &b) { return {b.data(), uint32_t(b.size())}; }
    static void use(Bytes &b) { qv::fms_E2pSetImage(b.data(), uint32_t(b.size())); }

private:
    Bytes flash_;
};

} // namespace qvtest
