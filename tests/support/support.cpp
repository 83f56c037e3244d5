#include "support/support.h"

#include "base/system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <fstream>
#include <iterator>
#include <sstream>
#include <zlib.h>

namespace qvtest {

TempDir::TempDir() {
    namespace fs = std::filesystem;
    const fs::path base = qv::sys::fsPath(qv::sys::tempDir());
    std::random_device seed;
    std::mt19937_64 next(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path p = base / ("qvtest." + std::to_string(next() % 1000000000));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = qv::sys::utf8Path(p);
            return;
        }
    }
    throw std::runtime_error("cannot create a folder in " + qv::sys::tempDir());
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(qv::sys::fsPath(path_), ec);
}

#ifdef _WIN32
constexpr const char *kTempVariables[] = {"TMP", "TEMP"};
#else
constexpr const char *kTempVariables[] = {"TMPDIR"};
#endif

TempFolderScope::TempFolderScope(const std::string &dir) {
    for (const char *name : kTempVariables) {
        const char *old = std::getenv(name);
        saved_.emplace_back(name, old ? old : "");
        setEnv(name, dir);
    }
}

TempFolderScope::~TempFolderScope() {
    for (const auto &[name, old] : saved_) {
        if (old.empty()) unsetEnv(name);
        else setEnv(name, old);
    }
}

std::string slashed(const std::string &path) { return qv::sys::utf8Path(qv::sys::fsPath(path)); }

void writeFile(const std::string &path, const Bytes &data) {
    std::ofstream f(qv::sys::fsPath(path), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

void writeText(const std::string &path, const std::string &text) { writeFile(path, Bytes(text.begin(), text.end())); }

Bytes readFile(const std::string &path) {
    std::ifstream f(qv::sys::fsPath(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string readText(const std::string &path) {
    Bytes b = readFile(path);
    return std::string(b.begin(), b.end());
}

void setEnv(const char *name, const std::string &value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

void unsetEnv(const char *name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

bool fileExists(const std::string &path) { return std::filesystem::exists(qv::sys::fsPath(path)); }

std::vector<std::string> readLines(const std::string &path) {
    std::vector<std::string> lines;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back(); // a text file written on Windows
        lines.push_back(line);
    }
    return lines;
}

void put16(Bytes &b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void put32(Bytes &b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

void putStr(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }

uint16_t get16(const Bytes &b, size_t off) { return uint16_t(b.at(off) | b.at(off + 1) << 8); }

uint32_t get32(const Bytes &b, size_t off) {
    return uint32_t(b.at(off)) | uint32_t(b.at(off + 1)) << 8 | uint32_t(b.at(off + 2)) << 16 |
           uint32_t(b.at(off + 3)) << 24;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes filled(size_t n, uint8_t v) { return Bytes(n, v); }

Bytes withHeader(uint8_t kind, const Bytes &body) {
    Bytes b(16, 0);
    b[9] = kind;
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes FlashInfoSpec::build() const {
    size_t size = std::max<size_t>(qv::FlashInfo::kMinSize,
                                   qv::FlashInfo::kMemPartsOffset + qv::FlashInfo::kMemPartSize * memParts.size());
    Bytes b(size, 0);
    auto set16 = [&](size_t o, uint16_t v) { b[o] = uint8_t(v), b[o + 1] = uint8_t(v >> 8); };
    auto set32 = [&](size_t o, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[o + i] = uint8_t(v >> (8 * i));
    };
    set16(2, chipId);
    set16(4, chipSubId);
    set16(6, options);
    set16(8, sizeIn64KB);
    b[11] = uint8_t(regions.size());
    for (size_t k = 0; k < regions.size() && k < 4; ++k) {
        set16(12 + 4 * k, regions[k].first);
        set16(14 + 4 * k, regions[k].second);
    }
    set32(28, baseAddress);
    set32(32, cusOffset);
    set32(36, versionAddr);
    set32(40, versionAddr1);
    set32(44, uint32_t(memParts.size()));
    for (size_t i = 0; i < memParts.size(); ++i) {
        set32(48 + 80 * i, memParts[i].first);
        set16(48 + 80 * i + 76, memParts[i].second);
    }
    set32(116, flags);
    return b;
}

FlashInfoSpec uniformFlash(uint16_t sectors, uint32_t base, bool interleaved) {
    FlashInfoSpec f;
    f.sizeIn64KB = sectors;
    f.regions = {{16, sectors}};
    f.baseAddress = base;
    f.flags = interleaved ? 1 : 0;
    return f;
}

FlashInfoSpec exampleFlash(bool interleaved) {
    FlashInfoSpec f = uniformFlash(64, 0x04000000, interleaved);
    f.chipId = 0x0012;
    f.chipSubId = 1;
    f.options = 1;
    f.cusOffset = 0x10000;
    f.versionAddr = 0x00010203;
    f.versionAddr1 = 0x02000000;
    f.memParts = {{0x2C01, 0x1234}};
    return f;
}

Bytes zlibCompress(const Bytes &payload) {
    uLongf len = compressBound(uLong(payload.size()));
    Bytes out(len);
    if (compress2(out.data(), &len, payload.data(), uLong(payload.size()), 6) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(len);
    return out;
}

Bytes makeWpb(const Bytes &payload, uint32_t typeCode, const Bytes &trailing) {
    Bytes b(144, 0);
    b[16] = 0x57;
    b[17] = 0x5A;
    for (int i = 0; i < 4; ++i) b[44 + i] = uint8_t(typeCode >> (8 * i));
    Bytes z = zlibCompress(payload);
    b.insert(b.end(), z.begin(), z.end());
    b.insert(b.end(), trailing.begin(), trailing.end());
    return b;
}

Bytes randomBytes(size_t n, uint32_t seed) {
    Bytes b(n);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b[i] = uint8_t(x);
    }
    return b;
}

} // namespace qvtest
