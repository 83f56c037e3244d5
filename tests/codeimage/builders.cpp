#include "builders.h"

#include "base/system.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace cvtest {

using namespace qvtest;

uint32_t dspDescriptorLength(size_t patchCount, size_t mapCount) {
    uint32_t m = uint32_t((4 + 13 * patchCount + 15) / 16 * 16);
    return m + 32 * uint32_t(mapCount) + 16;
}

Bytes makeDspFile(const std::vector<DspPatch> &patches, uint8_t flags, const std::vector<IdMapEntry> &map) {
    uint32_t L = dspDescriptorLength(patches.size(), map.size());
    Bytes desc{1, uint8_t(patches.size()), flags, 0};
    uint32_t offset = 16 + L; // first patch right after the descriptor area (file offset 32 + L)
    for (const DspPatch &p : patches) {
        desc.push_back(p.chipVer);
        put32(desc, offset);
        put32(desc, uint32_t(p.data.size()));
        put32(desc, 0xA5A5A5A5);
        offset += uint32_t(p.data.size());
    }
    desc.resize((desc.size() + 15) / 16 * 16, 0xEE);
    for (const IdMapEntry &e : map) {
        put16(desc, e.chipKey);
        put16(desc, e.subKey);
        put16(desc, e.version);
        desc.resize(desc.size() + 26, 0x77);
    }
    desc.resize(desc.size() + 16, 0x55);
    if (desc.size() != L) throw std::logic_error("descriptor length");

    Bytes body;
    putStr(body, "PATC");
    put32(body, L);
    body.push_back(1);
    body.push_back(0x44);
    body.resize(body.size() + 6, 0);
    body.insert(body.end(), desc.begin(), desc.end());
    for (const DspPatch &p : patches) body.insert(body.end(), p.data.begin(), p.data.end());
    return withHeader(6, body);
}

Bytes makeMcpTable(uint32_t tableSize, uint32_t didrAt, const McpTable &t) {
    Bytes b = randomBytes(tableSize, t.fill + 1000);
    auto set32 = [&](size_t o, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[o + i] = uint8_t(v >> (8 * i));
    };
    set32(0, t.magic);
    set32(4, t.id);
    b[didrAt] = uint8_t(t.didrValue);
    b[didrAt + 1] = uint8_t(t.didrValue >> 8);
    b[didrAt + 2] = uint8_t(t.didrMask);
    b[didrAt + 3] = uint8_t(t.didrMask >> 8);
    return b;
}

Bytes makeMcpFile(uint32_t tableSize, uint32_t didrAt, const std::vector<McpTable> &tables) {
    Bytes body;
    put32(body, tableSize);
    put32(body, didrAt);
    body.resize(body.size() + 8, 0x33);
    for (const McpTable &t : tables) {
        Bytes tb = makeMcpTable(tableSize, didrAt, t);
        body.insert(body.end(), tb.begin(), tb.end());
    }
    return withHeader(25, body);
}

Bytes makeCusFile(const std::string &typeTag, const std::vector<Bytes> &chunks, const std::string &container) {
    Bytes b;
    if (!container.empty()) {
        putStr(b, container);
        b.resize(16, 0x11);
    }
    putStr(b, "WCUS");
    putStr(b, typeTag);
    for (const Bytes &c : chunks) {
        putStr(b, "FRED");
        put32(b, uint32_t(c.size()));
        b.insert(b.end(), c.begin(), c.end());
    }
    return b;
}

Bytes chunkHeader(uint32_t length, const std::string &ident) {
    Bytes b;
    put32(b, length + 16);
    putStr(b, ident);
    put32(b, length);
    put32(b, 0xFFFFFFF0);
    return b;
}

Bytes adRecord(uint32_t link, const Bytes &data, const std::string &ident) {
    Bytes b;
    put32(b, link);
    put32(b, uint32_t(data.size()));
    if (ident.empty()) put32(b, 0xFFFFFFFF);
    else putStr(b, ident);
    put32(b, 0xFFFFFFF0);
    b.insert(b.end(), data.begin(), data.end());
    while (b.size() % 4) b.push_back(0xFF);
    return b;
}

Bytes adRecord(const Bytes &data, const std::string &ident) {
    return adRecord(uint32_t((data.size() + 3) / 4 * 4 + 16), data, ident);
}

Bytes le32Bytes(uint32_t v) {
    Bytes b;
    put32(b, v);
    return b;
}

Bytes ascii(const std::string &s) { return Bytes(s.begin(), s.end()); }

uint32_t xorWords(const Bytes &b, uint32_t seed) {
    for (size_t i = 0; i + 4 <= b.size(); i += 4) seed ^= get32(b, i);
    return seed;
}

Bytes sizeDate(const std::string &text) {
    Bytes b = ascii(text);
    b.resize(27, ' ');
    b.push_back(0);
    return b;
}

void setMtime(const std::string &path, std::time_t t) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const auto at = std::chrono::system_clock::from_time_t(t);
    fs::last_write_time(qv::sys::fsPath(path), fs::file_time_type::clock::from_sys(at), ec);
    if (ec) throw std::runtime_error("cannot set the last-write time of " + path);
}

ScopedTz::ScopedTz(const char *tz) {
    if (const char *old = std::getenv("TZ")) {
        had_ = true;
        old_ = old;
    }
    qvtest::setEnv("TZ", tz);
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
}

ScopedTz::~ScopedTz() {
    if (had_) qvtest::setEnv("TZ", old_.c_str());
    else qvtest::unsetEnv("TZ");
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
}

Bytes makeCodeFile(Bytes section, uint32_t versionAddr, uint32_t versionAddr1) {
    Bytes file(16, 0xC0);
    file.insert(file.end(), section.begin(), section.end());
    auto set32 = [&](size_t o, uint32_t v) {
        for (int i = 0; i < 4 && o + i < file.size(); ++i) file[o + i] = uint8_t(v >> (8 * i));
    };
    set32(0x1094, versionAddr1);
    set32(0x10A0, versionAddr);
    return file;
}

} // namespace cvtest
