#include "release_builder.h"

#include <filesystem>

namespace clitest {
namespace {

using namespace qvtest;

constexpr uint32_t kBase = 0x04000000;

Bytes codeFile(Bytes &section) {
    section = randomBytes(0x2000 + 6, 11);
    auto set32 = [&](size_t o, uint32_t v) {
        for (int i = 0; i < 4; ++i) section[o + i] = uint8_t(v >> (8 * i));
    };
    set32(0x1094 - 16, 0x02000001); // versionAddr1: trace version 2
    set32(0x10A0 - 16, 0x00010203); // versionAddr
    return concat({Bytes(16, 0), section});
}

// "PATC" file with two patches, for chip versions 1 and 2; flags 0, so the
// chip id's low four bits choose.
Bytes dspFile(Bytes &chosen) {
    const Bytes p1 = randomBytes(40, 21);
    chosen = randomBytes(70, 22);
    const uint32_t L = 32 + 16; // two entries (4 + 26 rounded to 32), no id map, 16 bytes
    Bytes desc{1, 2, 0, 0};
    desc.push_back(1);
    put32(desc, 16 + L);
    put32(desc, uint32_t(p1.size()));
    put32(desc, 0);
    desc.push_back(2);
    put32(desc, 16 + L + uint32_t(p1.size()));
    put32(desc, uint32_t(chosen.size()));
    put32(desc, 0);
    desc.resize(L, 0);
    Bytes body;
    putStr(body, "PATC");
    put32(body, L);
    body.push_back(1);
    body.push_back(0x44);
    body.resize(16, 0);
    return withHeader(6, concat({body, desc, p1, chosen}));
}

// Tables of 32 bytes with the DIDR pair at 8: one for another part, one for
// the flash's part 0x2C01 with DIDR 0x1234.
Bytes mcpFile() {
    Bytes body;
    put32(body, 32);
    put32(body, 8);
    body.resize(16, 0);
    for (uint32_t id : {0x9999u, 0x2C01u}) {
        put32(body, 0xBABE);
        put32(body, id);
        put16(body, 0x1234); // DIDR value
        put16(body, 0xFFFF); // DIDR mask
        Bytes rest = randomBytes(20, id);
        body.insert(body.end(), rest.begin(), rest.end());
    }
    return withHeader(25, body);
}

Bytes cusFile(const std::string &type, const std::vector<Bytes> &chunks) {
    Bytes b;
    putStr(b, "WCUS");
    putStr(b, type);
    for (const Bytes &c : chunks) {
        putStr(b, "FRED");
        put32(b, uint32_t(c.size()));
        b.insert(b.end(), c.begin(), c.end());
    }
    return b;
}

std::vector<FatSector> sectors(std::vector<uint32_t> numbers, uint32_t seed) {
    std::vector<FatSector> out;
    for (uint32_t n : numbers) out.push_back({n, randomBytes(512, seed + n)});
    return out;
}

Json flashDescription(bool interleaved) {
    return Json{{"chipId", "0x0012"},
                {"chipSubId", 1},
                {"options", 1},
                {"sizeIn64KB", 64},
                {"regions", Json::array({Json{{"sectorSize", 65536}, {"count", 64}}})},
                {"baseAddress", kBase},
                {"cusOffset", "0x10000"},
                {"versionAddr", "0x00010203"},
                {"versionAddr1", "0x02000000"},
                {"memParts", Json::array({Json{{"id", "0x2c01"}, {"didr", "0x1234"}}})},
                {"interleaved", interleaved}};
}

} // namespace

Bytes fatFile(uint8_t kind, const std::vector<FatSector> &sectors) {
    Bytes b(16, 0);
    b[9] = kind;
    for (const FatSector &s : sectors) {
        put32(b, s.number);
        b.insert(b.end(), s.data.begin(), s.data.end());
    }
    return b;
}

TestRelease::TestRelease(const std::string &d, bool il) : dir(d), interleaved(il) {
    flashJson = flashDescription(interleaved);
    flashRecord = exampleFlash(interleaved).build();
    writeFile(path("flash.bin"), flashRecord);
    writeText(path("flash.json"), flashJson.dump(2));
    writeFile(path("firmware.bin"), codeFile(codeSection));
    writeFile(path("dsp.pat"), dspFile(dspPatch));
    writeFile(path("mcp.bin"), mcpFile());
    lcmcData = randomBytes(333, 31);
    writeFile(path("logo.cus"), cusFile("LCMC", {lcmcData}));
    sensChunks = {randomBytes(5, 41), randomBytes(6, 42), randomBytes(7, 43)};
    writeFile(path("sens.cus"), cusFile("SENS", sensChunks));
    // Sector numbers out of order; the same numbers in both file systems.
    user = sectors({7, 0, 3, 1, 2, 40, 6, 5, 4, 100}, 500);
    hidden = sectors({2, 0, 1, 7}, 900);
    writeFile(path("user.fat"), fatFile(22, user));
    writeFile(path("hidden.fat"), fatFile(23, hidden));
    writeText(path("params.e2p"), "PRODUCT_ID 32 4 1\n0x11223344 %u32\n");
    writeFile(path("e2p_base.bin"), filled(8192, 0xFF));
    writeFile(path("e2p_area.bin"), filled(8192, 0xFF));
}

std::vector<std::string> TestRelease::mergeFlags(const std::string &out) const {
    return {"merge",        "--flash-info", path("flash.bin"),     "--e2p-base",     path("e2p_base.bin"),
            "--e2p-area",   path("e2p_area.bin"), "--e2p-area-out", out + "/area.bin", "--image",
            path("firmware.bin"), "--image", path("user.fat"),     "--image",        path("hidden.fat"),
            "--patch",      path("dsp.pat"),  "--patch",        path("mcp.bin"),  "--cus",
            path("logo.cus"), "--cus",        path("sens.cus"),    "--e2p-file",     path("params.e2p"),
            "--out-code",   out + "/code.img", "--out-e2p",       out + "/e2p.img", "--out-rai",
            out + "/rai.img", "--log",        out + "/merge.log"};
}

Json TestRelease::manifest() const {
    return Json{{"flashInfo", "flash.bin"},
                {"images", Json::array({"firmware.bin", "user.fat", "hidden.fat"})},
                {"patches", Json::array({"dsp.pat", "mcp.bin"})},
                {"cus", Json::array({"logo.cus", "sens.cus"})},
                {"e2pFiles", Json::array({"params.e2p"})},
                {"e2pBase", "e2p_base.bin"},
                {"e2pArea", "e2p_area.bin"},
                {"e2pAreaOut", "area.bin"},
                {"outputs", {{"code", "code.img"}, {"e2p", "e2p.img"}, {"rai", "rai.img"}}},
                {"log", "merge.log"}};
}

} // namespace clitest

namespace clitest {

MergedRelease::MergedRelease(bool interleaved) : rel(tmp.path(), interleaved), out(tmp.file("out")) {
    std::filesystem::create_directories(out);
    std::vector<std::string> args = rel.mergeFlags(out);
    args.push_back("--json");
    result = runCli(args);
}

} // namespace clitest
