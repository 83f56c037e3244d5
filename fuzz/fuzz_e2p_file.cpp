// E2P description files (text, optionally in a container) loaded into an
// 8 KB E2P image; the first byte chooses the flat or interleaved layout.
#include "support.h"

#include "entry/context.h"
#include "e2p/access.h"
#include "e2p/e2p_load.h"
#include "flash/geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qvfuzz::FuzzDir dir;
    if (size < 1) return 0;
    qv::MergeContext ctx;
    qvfuzz::Bytes flash = qvfuzz::flashRecord({});
    flash[116] = data[0] & 1;
    qv::fms_SetFlashInfo(ctx.flash, flash.data());
    ctx.e2p.e2pAreaSize = 0x2000;
    qvfuzz::Bytes image(0x2000, 0xFF);
    qv::fms_E2pSetImage(ctx.e2p, image.data(), uint32_t(image.size()));
    std::string path = dir.write("in.e2p", qvfuzz::Bytes(data + 1, data + size));
    qv::DownloadE2PFile4Nor(ctx.e2p, path, image.data(), 0);
    return 0;
}
