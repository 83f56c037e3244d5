// Writes the seed corpus of every fuzz target into OUT/<target>/, from the
// bundled example release in SRC/examples/release and a few built records.
//   fuzz_seeds SRC OUT
#include <quorvel/quorvel.h>

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

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds SRC OUT\n");
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
    return 0;
}
