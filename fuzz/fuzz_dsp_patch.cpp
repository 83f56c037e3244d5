// DSP patch files: any descriptor, patch entries and id map; the chip id and
// sub id come from the input's first bytes.
#include "support.h"

#include "codeimage/ad_write.h"
#include "codeimage/gen_patch.h"
#include "entry/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qvfuzz::FuzzDir dir;
    if (size < 2) return 0;
    qv::MergeContext ctx;
    std::string path = dir.write("in.pat", qvfuzz::Bytes(data + 2, data + size));
    qv::File dsp(path, "rb"), out(dir.file("out.bin"), "wb");
    qv::fms_adSetWriteAddr(ctx.code, 0);
    qv::gen_patch(ctx.code, dsp, out, uint16_t(data[0] & 0xF), uint16_t(data[1]));
    return 0;
}
