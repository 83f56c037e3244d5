// Shared helpers of the tests: temporary folders, byte builders, FlashInfo
// records and compressed inputs made with the real zlib.
#pragma once

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qvtest {

using Bytes = std::vector<uint8_t>;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A fresh folder under the system temporary directory, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Makes `dir` the system's temporary folder for the object's lifetime (TMPDIR
// on POSIX systems, TMP and TEMP on Windows), so that temporary files lie
// where the test sees them.
class TempFolderScope {
public:
    explicit TempFolderScope(const std::string &dir);
    ~TempFolderScope();
    TempFolderScope(const TempFolderScope &) = delete;
    TempFolderScope &operator=(const TempFolderScope &) = delete;

private:
    std::vector<std::pair<const char *, std::string>> saved_; // unset when empty
};

// `path` with "/" between its names, however the system wrote it.
std::string slashed(const std::string &path);

void writeFile(const std::string &path, const Bytes &data);
void writeText(const std::string &path, const std::string &text);
Bytes readFile(const std::string &path);
std::string readText(const std::string &path);
bool fileExists(const std::string &path);
// Sets or removes a variable of the process's environment (both systems).
void setEnv(const char *name, const std::string &value);
void unsetEnv(const char *name);
std::vector<std::string> readLines(const std::string &path);

void put16(Bytes &b, uint16_t v);
void put32(Bytes &b, uint32_t v);
void putStr(Bytes &b, const std::string &s); // no terminator
uint16_t get16(const Bytes &b, size_t off);
uint32_t get32(const Bytes &b, size_t off);
Bytes concat(std::initializer_list<Bytes> parts);
Bytes filled(size_t n, uint8_t v);

// A file with a 16-byte header whose byte 9 is `kind`, then `body`.
Bytes withHeader(uint8_t kind, const Bytes &body);

// Builds a FlashInfo record field by field.
struct FlashInfoSpec {
    uint16_t chipId = 0, chipSubId = 0, options = 0, sizeIn64KB = 0;
    std::vector<std::pair<uint16_t, uint16_t>> regions; // {shift, count}
    uint32_t baseAddress = 0, cusOffset = 0, versionAddr = 0, versionAddr1 = 0;
    std::vector<std::pair<uint32_t, uint16_t>> memParts; // {identifier, didr}
    uint32_t flags = 0;
    Bytes build() const;
};

// Uniform flash of `sectors` × 64 KB from address `base`.
FlashInfoSpec uniformFlash(uint16_t sectors, uint32_t base = 0, bool interleaved = false);
// The example release's flash: 64 × 64 KB at 0x04000000, chip 0x0012/1,
// options 1, cusOffset 0x10000, version words 0x00010203 / 0x02000000, one
// memory part 0x2C01 with didr 0x1234.
FlashInfoSpec exampleFlash(bool interleaved = false);

// A compressed input: 144-byte header (magic, type code) and the zlib stream
// of `payload`, optionally followed by `trailing` bytes.
Bytes makeWpb(const Bytes &payload, uint32_t typeCode, const Bytes &trailing = {});
Bytes zlibCompress(const Bytes &payload);
// Deterministic pseudo-random bytes.
Bytes randomBytes(size_t n, uint32_t seed);

} // namespace qvtest
