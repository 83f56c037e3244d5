// CUS file containers: any bytes as a CUS file, written as one record.
#include "support.h"

#include "codeimage/ad_write.h"
#include "codeimage/gen_cus.h"
#include "entry/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qvfuzz::FuzzDir dir;
    qv::MergeContext ctx;
    std::string path = dir.write("in.cus", qvfuzz::Bytes(data, data + size));
    qv::File out(dir.file("out.bin"), "wb");
    qv::fms_adSetWriteAddr(ctx.code, 0);
    qv::gen_cus(ctx.code, path, out);
    return 0;
}
