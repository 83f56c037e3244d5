// E2P journals: any bytes as the journal area, replayed onto an 8 KB base;
// the first byte chooses the flat or interleaved layout.
#include "support.h"

#include "entry/context.h"
#include "e2p/access.h"
#include "e2p/journal.h"
#include "flash/geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    qv::MergeContext ctx;
    qvfuzz::Bytes flash = qvfuzz::flashRecord({});
    flash[116] = data[0] & 1;
    qv::fms_SetFlashInfo(ctx.flash, flash.data());
    qvfuzz::Bytes journal(data + 1, data + size), content(0x2000, 0xFF);
    ctx.e2p.e2pAreaSize = uint32_t(journal.size());
    qv::fms_E2pSetImage(ctx.e2p, journal.data(), uint32_t(journal.size()));
    qv::fms_E2pReplay(ctx.e2p, {journal.data(), uint32_t(journal.size())}, {content.data(), uint32_t(content.size())});
    return 0;
}
