// Writes the seed corpus of every fuzz target into OUT/<target>/, from the
// bundled example release in SRC/examples/release and a few built records;
// given MERGED, the folder of the images the command merged from the example,
// also small seeds of the readers of finished images cut from them.
//   fuzz_seeds SRC OUT [MERGED]
#include <quorvel/quorvel.h>

#include "base/bytes.h"
#include "codeimage/code_image_read.h"
#include "codeimage/gen_code.h"
#include "codeimage/size_date.h"
#include "e2p/image_reader.h"
#include "e2p/journal_read.h"
#include "flash/flash_desc.h"
#include "rai/store.h"
#include "rai/store_read.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include <zlib.h>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes readFile(const fs::path &p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void writeSeed(const fs::path &dir, const std::string &name, const Bytes &data) {
    fs::create_directories(dir);
    std::ofstream f(dir / name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
}

Bytes compressed(const Bytes &payload, uint32_t type) {
    Bytes out(144, 0);
    out[16] = 0x57, out[17] = 0x5A;
    for (int i = 0; i < 4; ++i) out[44 + i] = uint8_t(type >> (8 * i));
    uLongf len = compressBound(uLong(payload.size()));
    Bytes z(len);
    compress2(z.data(), &len, payload.data(), uLong(payload.size()), 6);
    out.insert(out.end(), z.begin(), z.begin() + long(len));
    return out;
}

Bytes joined(const std::vector<Bytes> &pieces) {
    Bytes out;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i) out.insert(out.end(), {'Q', 'V', 'F', 'Z'});
        out.insert(out.end(), pieces[i].begin(), pieces[i].end());
    }
    return out;
}

// Release file, or nothing when the example does not hold it.
Bytes part(const fs::path &rel, const char *name) {
    return fs::exists(rel / name) ? readFile(rel / name) : Bytes{};
}

// The code image with its code section cut to 64 bytes (the closing records
// kept, the checksum made again) and without the fill after its CUS records.
Bytes smallCodeImage(const Bytes &img) {
    const qv::CodeImageContents c = qv::readCodeImage(img);
    constexpr size_t kKeep = 64;
    if (!c.hasCusArea || c.cusOnly || !c.sizeDate || c.codeLength < kKeep) return {};
    Bytes out(img.begin(), img.begin() + kKeep);
    out.insert(out.end(), img.begin() + long(c.sizeDateOffset), img.begin() + long(c.cusfOffset));
    const uint32_t sum = qv::xor_words(qv::xor_words(0, out.data(), kKeep / 4), out.data() + kKeep,
                                       qv::kSizeDateLength / 4);
    qv::putLe32(out.data() + kKeep + qv::kSizeDateLength, sum);
    const size_t cusf = out.size();
    out.insert(out.end(), img.begin() + long(c.cusfOffset), img.begin() + long(c.recordsEnd));
    qv::putLe32(out.data() + cusf + 4, uint32_t(cusf + 4)); // "CUSF" is followed by its own offset + 4
    return out;
}

// The E2P image's journal in a flat image just large enough for it and the
// end mark; the first byte chooses the flat layout.
Bytes smallE2pImage(const Bytes &img) {
    qv::E2pImageReader reader(img, qv::layoutOnly(false));
    const qv::E2pJournal j = qv::readE2pJournal(reader.e2p);
    if (!j.endMarkOk || j.records.empty()) return {};
    const size_t size = (j.endAt + 16 + 15) / 16 * 16;
    Bytes out(1, 0);
    out.insert(out.end(), img.begin(), img.begin() + j.endAt);
    out.resize(1 + size - 2, 0xFF);
    out.push_back(0xFF);
    out.push_back(0x7F);
    return out;
}

// The first two items of the RAI image (64 KB sectors) in a store of four 1 KB
// sectors: sector 3 the spare, sector 2 holding the first item, sector 1 the
// second one deleted, sector 0 erased. The first byte gives the sector size
// 2^(6 + 4).
Bytes smallRaiImage(const Bytes &img) {
    constexpr uint32_t kSector = 1024, kSectors = 4;
    qv::RaiStoreContents store;
    if (qv::readRaiStore(img, {0x04370000, 0x10000, 0, false}, store)) return {};
    Bytes out(1 + kSector * kSectors, 0xFF);
    out[0] = 4;
    uint8_t *rai = out.data() + 1;
    auto format = [&](uint32_t i) {
        qv::putLe32(rai + i * kSector, qv::kSectorMagic);
        qv::putLe32(rai + i * kSector + 4, (i * kSector + 8) / 4);
    };
    format(kSectors - 1);
    uint32_t sector = kSectors - 2;
    for (const qv::RaiSector &s : store.sectors)
        for (const qv::RaiItem &it : s.items) {
            if (!it.valid || it.data.size() + 16 > kSector || sector == 0) continue;
            format(sector);
            const uint32_t at = sector * kSector + 8;
            const bool deleted = sector == 1;
            qv::putLe32(rai + at, deleted ? uint32_t(it.length) << 16 : qv::itemWord0(it.length, at / 4));
            qv::putLe32(rai + at + 4, it.id);
            std::copy(it.data.begin(), it.data.end(), rai + at + 8);
            --sector;
        }
    return out;
}

// Seeds of the readers of finished images, cut small from the merged example.
void writeImageSeeds(const fs::path &merged, const fs::path &out) {
    const std::pair<const char *, Bytes> seeds[] = {
        {"fuzz_code_image", smallCodeImage(readFile(merged / "code.img"))},
        {"fuzz_e2p_image", smallE2pImage(readFile(merged / "e2p.img"))},
        {"fuzz_rai_store", smallRaiImage(readFile(merged / "rai.img"))}};
    for (const auto &[target, bytes] : seeds)
        if (!bytes.empty()) writeSeed(out / target, "small", bytes);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: fuzz_seeds SRC OUT [MERGED]\n");
        return 2;
    }
    fs::path rel = fs::path(argv[1]) / "examples" / "release", out = argv[2];
    Bytes flash = part(rel, "flash.bin");

    writeSeed(out / "fuzz_dewpb", "small", compressed(Bytes(1000, 0x42), 0));
    writeSeed(out / "fuzz_dewpb", "firmware", compressed(part(rel, "firmware.bin"), 0x1000023));
    writeSeed(out / "fuzz_geometry", "example", flash);

    // Stand-alone parser seeds: each file of the example release.
    const std::pair<const char *, const char *> singles[] = {
        {"fuzz_cus", "logo.cus"},   {"fuzz_cus", "sens.cus"},     {"fuzz_dsp_patch", "dsp.pat"},
        {"fuzz_mcp", "mcp.bin"},    {"fuzz_e2p_file", "params.e2p"}, {"fuzz_e2p_file", "extra.e2p"},
        {"fuzz_fat_stream", "user.fat"}, {"fuzz_fat_stream", "hidden.fat"}, {"fuzz_journal", "e2p_area.bin"}};
    for (const auto &[target, file] : singles)
        if (fs::exists(rel / file)) writeSeed(out / target, file, readFile(rel / file));

    Bytes userFat = part(rel, "user.fat");
    Bytes rawFat = userFat.size() > 16 ? Bytes(userFat.begin() + 16, userFat.end()) : Bytes{};
    writeSeed(out / "fuzz_merge", "example",
              joined({flash, part(rel, "firmware.bin"), part(rel, "dsp.pat"), part(rel, "mcp.bin"),
                      part(rel, "logo.cus"), part(rel, "params.e2p"), userFat, compressed(rawFat, 0x1000003),
                      part(rel, "e2p_base.bin"), part(rel, "e2p_area.bin")}));
    writeSeed(out / "fuzz_merge", "nothing", joined({flash}));
    if (argc == 4) writeImageSeeds(argv[3], out);
    return 0;
}
