// A whole merge built from one fuzz input. The input is cut at "QVFZ" into:
// FlashInfo, code file, DSP patch, MCP file, CUS file, E2P description file,
// FAT input, compressed FAT input, E2P base, E2P area. Missing pieces are
// left out of the call. The flash is kept small (at most 16 MB, sectors of
// 512 bytes to 1 MB) so that one run stays quick.
#include "support.h"

#include <quorvel/quorvel.h>

namespace {

enum Piece { kFlash, kCode, kDsp, kMcp, kCus, kE2pText, kFat, kWpbFat, kBase, kArea, kPieces };

qvfuzz::Bytes withKind(qvfuzz::Bytes b, uint8_t kind) {
    if (b.size() >= 10) b[9] = kind;
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static qvfuzz::FuzzDir dir;
    std::vector<qvfuzz::Bytes> p = qvfuzz::splitPieces(data, size);
    p.resize(kPieces);
    qvfuzz::Bytes flash = qvfuzz::flashRecord(p[kFlash]);
    flash[9] = 0; // sizeIn64KB at most 255 (16 MB)
    for (int k = 0; k < 4; ++k) flash[12 + 4 * k] = uint8_t(9 + flash[12 + 4 * k] % 12), flash[13 + 4 * k] = 0;

    std::vector<std::string> images, patches, cus, e2p;
    if (!p[kCode].empty()) images.push_back(dir.write("code.bin", p[kCode]));
    if (!p[kFat].empty()) images.push_back(dir.write("user.fat", withKind(p[kFat], p[kFat].size() & 1 ? 22 : 23)));
    if (!p[kWpbFat].empty()) images.push_back(dir.write("rai.wpb", p[kWpbFat]));
    if (!p[kDsp].empty()) patches.push_back(dir.write("dsp.pat", withKind(p[kDsp], 6)));
    if (!p[kMcp].empty()) patches.push_back(dir.write("mcp.bin", withKind(p[kMcp], 25)));
    if (!p[kCus].empty()) cus.push_back(dir.write("a.cus", p[kCus]));
    if (!p[kE2pText].empty()) e2p.push_back(dir.write("p.e2p", p[kE2pText]));

    qv::MergeOutputs outs;
    outs[0].imagePath = dir.file("code.img");
    outs[1].imagePath = dir.file("e2p.img");
    outs[2].imagePath = dir.file("rai.img");
    std::string message;
    quorvel(flash.data(), &outs, images, patches, cus, p[kBase].data(), uint32_t(p[kBase].size()), p[kArea].data(),
            uint32_t(p[kArea].size()), e2p, 0, 0, message, dir.file("merge.log"), 0);
    return 0;
}
