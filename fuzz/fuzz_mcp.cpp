// MCP table files against the memory parts of a FlashInfo record. The input
// is cut at "QVFZ": FlashInfo record, then the MCP file.
#include "support.h"

#include "codeimage/ad_write.h"
#include "codeimage/gen_mcp.h"
#include "entry/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qvfuzz::FuzzDir dir;
    std::vector<qvfuzz::Bytes> p = qvfuzz::splitPieces(data, size);
    p.resize(2);
    qvfuzz::Bytes flash = qvfuzz::flashRecord(p[0]);
    qv::MergeContext ctx;
    qv::FlashInfo fi(flash.data());
    std::string path = dir.write("in.mcp", p[1]);
    qv::File mcp(path, "rb"), out(dir.file("out.bin"), "wb");
    qv::fms_adSetWriteAddr(ctx.code, 0);
    qv::gen_mcp(ctx.code, mcp, out, fi.memPartCount(), fi);
    return 0;
}
