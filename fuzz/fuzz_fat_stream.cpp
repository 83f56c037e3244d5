// FAT record streams through a whole RAI merge on the example's flash: the
// first byte chooses a user or hidden FAT and a plain or compressed input.
#include "support.h"

#include <quorvel/quorvel.h>

#include <zlib.h>

namespace {

qvfuzz::Bytes compressedInput(const qvfuzz::Bytes &stream) {
    qvfuzz::Bytes out(144, 0);
    out[16] = 0x57, out[17] = 0x5A;
    out[44] = 0x03, out[47] = 0x01; // RAI input
    uLongf len = compressBound(uLong(stream.size()));
    qvfuzz::Bytes z(len);
    compress2(z.data(), &len, stream.data(), uLong(stream.size()), 1);
    out.insert(out.end(), z.begin(), z.begin() + long(len));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qvfuzz::FuzzDir dir;
    if (size < 1) return 0;
    qvfuzz::Bytes flash = qvfuzz::flashRecord({});
    flash[8] = 64, flash[11] = 1, flash[12] = 16, flash[14] = 64; // 64 sectors of 64 KB
    flash[31] = 0x04;                                                // base 0x04000000
    flash[116] = (data[0] >> 2) & 1;
    qvfuzz::Bytes base(0x2000, 0xFF), area;
    base[237] = 4;                                  // 1024 hash elements
    base[296] = 8, base[298] = 0xF7, base[299] = 0xFF; // 8 x 32 KB
    area = base;
    qvfuzz::Bytes stream(data + 1, data + size);
    std::string input;
    if (data[0] & 2) {
        input = dir.write("in.wpb", compressedInput(stream));
    } else {
        qvfuzz::Bytes fat(16, 0);
        fat[9] = (data[0] & 1) ? 23 : 22;
        fat.insert(fat.end(), stream.begin(), stream.end());
        input = dir.write("in.fat", fat);
    }
    qv::MergeOutputs outs;
    outs[0].imagePath = dir.file("code.img");
    outs[1].imagePath = dir.file("e2p.img");
    outs[2].imagePath = dir.file("rai.img");
    std::string message;
    quorvel(flash.data(), &outs, {input}, {}, {}, base.data(), uint32_t(base.size()), area.data(),
            uint32_t(area.size()), {}, 0, 0, message, dir.file("merge.log"), 0);
    return 0;
}
