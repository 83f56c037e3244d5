// Expansion of compressed inputs: any header and stream, written to a file.
#include "support.h"

#include "input/dewpb.h"
#include "entry/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qvfuzz::FuzzDir dir;
    qv::MergeContext ctx;
    std::string in = dir.write("in.wpb", qvfuzz::Bytes(data, data + size));
    qv::File input(in, "rb"), output(dir.file("out.bin"), "wb");
    qv::deWpb(ctx.io, input, output);
    return 0;
}
