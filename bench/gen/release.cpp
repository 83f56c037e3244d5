#include "gen/release.h"

#include "gen/content.h"

#include "base/file.h"

#include <algorithm>
#include <stdexcept>
#include <zlib.h>

namespace qvbench {
namespace {

constexpr uint32_t kWpbCodeType = 0x1000001; // any type but the RAI one is a code file
constexpr size_t kBlock = 1 << 20;

[[noreturn]] void fail(const std::string &what, const std::string &path) {
    throw std::runtime_error(what + " " + path);
}

void writeAll(qv::File &f, const void *data, size_t n) {
    if (f.write(data, n) != n) fail("cannot write", f.path());
}

void closeChecked(qv::File &f) {
    std::string path = f.path();
    if (!f.close()) fail("cannot close", path);
}

qv::File create(const std::string &path) {
    qv::File f(path, "wb");
    if (!f) fail("cannot create", path);
    return f;
}

Bytes fileHeader(uint8_t kind) {
    Bytes h(16, 0);
    h[9] = kind;
    return h;
}

Bytes wpbHeader(uint32_t typeCode) {
    Bytes h(144, 0);
    h[16] = 'W';
    h[17] = 'Z';
    set32(h, 44, typeCode);
    return h;
}

// A zlib stream written to a file as its input arrives.
class Deflater {
public:
    Deflater(qv::File &out, int level) : out_(out), buf_(kBlock) {
        if (deflateInit(&z_, level) != Z_OK) fail("deflateInit failed for", out.path());
    }
    ~Deflater() { deflateEnd(&z_); }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    void feed(const uint8_t *data, size_t n) { run(data, n, Z_NO_FLUSH); }
    void finish() { run(nullptr, 0, Z_FINISH); }

private:
    void run(const uint8_t *data, size_t n, int flush) {
        z_.next_in = const_cast<uint8_t *>(data);
        z_.avail_in = uInt(n);
        int ret;
        do {
            z_.next_out = buf_.data();
            z_.avail_out = uInt(buf_.size());
            ret = deflate(&z_, flush);
            if (ret == Z_STREAM_ERROR) fail("deflate failed for", out_.path());
            writeAll(out_, buf_.data(), buf_.size() - z_.avail_out);
        } while (z_.avail_out == 0 || (flush == Z_FINISH && ret != Z_STREAM_END));
    }

    qv::File &out_;
    Bytes buf_;
    z_stream z_{};
};

// The version words sit at file offsets 0x1094 and 0x10A0 of a code file,
// i.e. 16 bytes less into its section.
void placeWord(uint8_t *block, size_t n, uint64_t blockOffset, uint64_t at, uint32_t word) {
    for (uint64_t i = 0; i < 4; ++i)
        if (at + i >= blockOffset && at + i < blockOffset + n) block[at + i - blockOffset] = uint8_t(word >> (8 * i));
}

void placeVersionWords(uint8_t *block, size_t n, uint64_t blockOffset) {
    placeWord(block, n, blockOffset, 0x1094 - 16, kVersionAddr1);
    placeWord(block, n, blockOffset, 0x10A0 - 16, kVersionAddr);
}

std::string objectText(unsigned i, Rng &rng) {
    unsigned address = 1024 + (i * 37u) % 7152u; // clear of the partition parameters below 1024
    std::string name = "OBJ_" + std::to_string(i);
    std::string at = std::to_string(address);
    auto num = [&](unsigned mod) { return std::to_string(rng.next() % mod); };
    switch (i % 10) {
    case 6:
    case 7:
        return name + " " + at + " 8 4\n0x" + std::to_string(1000 + i % 9000) + " " + num(65536) + " %p " +
               num(999) + " %u16\n";
    case 8: return name + " " + at + " 8 2\n0x1234ABCD -" + num(100000) + " %s32\n";
    case 9: return name + " " + at + " 12 1\nsome text " + num(1000) + " %ascii\n";
    default: return name + " " + at + " 2 2\n" + num(256) + " " + num(256) + " %u8\n";
    }
}

} // namespace

void writeBytes(const std::string &path, const Bytes &data) {
    qv::File f = create(path);
    writeAll(f, data.data(), data.size());
    closeChecked(f);
}

void writeText(const std::string &path, const std::string &text) {
    qv::File f = create(path);
    writeAll(f, text.data(), text.size());
    closeChecked(f);
}

Bytes makeFlashInfo(uint16_t sizeIn64KB, bool interleaved) {
    Bytes r(128, 0);
    set16(r, 2, 0x0010); // chip id: low 4 bits 0 pick patch version 0
    set16(r, 8, sizeIn64KB);
    r[11] = 1; // one region of uniform sectors
    set16(r, 12, 16);
    set16(r, 14, sizeIn64KB);
    set32(r, 28, 0);      // base address
    set32(r, 32, 0x1000); // CUS offset without a code file
    set32(r, 36, kVersionAddr);
    set32(r, 40, kVersionAddr1);
    set32(r, 44, 0); // no memory parts
    set32(r, 116, interleaved ? 1 : 0);
    return r;
}

Bytes makeE2pBase(uint32_t bytes, uint16_t raiUnits, uint8_t cacheSize, bool interleaved) {
    Bytes b(bytes, 0xFF);
    // Logical address x lies at (x / 16) * 32 + x % 16 of an interleaved image.
    auto at = [interleaved](size_t x) { return interleaved ? x / 16 * 32 + x % 16 : x; };
    auto put = [&](size_t x, uint8_t v) { b[at(x)] = v; };
    put(237, cacheSize);
    put(253, 2); // trace: 2 x 32 KB, check byte adds to 100
    put(254, 98);
    put(296, uint8_t(raiUnits));
    put(297, uint8_t(raiUnits >> 8));
    put(298, uint8_t((0xFFFF - raiUnits) & 0xFF));
    put(299, uint8_t((0xFFFF - raiUnits) >> 8));
    return b;
}

uint64_t writeCodeFiles(const std::string &codePath, const std::string &wpbPath, uint64_t sectionBytes,
                        int zlibLevel, uint64_t seed) {
    qv::File code = create(codePath);
    qv::File wpb;
    writeAll(code, fileHeader(1).data(), 16);
    if (!wpbPath.empty()) {
        wpb = create(wpbPath);
        writeAll(wpb, wpbHeader(kWpbCodeType).data(), 144);
    }
    {
        Deflater z(wpb, zlibLevel);
        FirmwareContent content(seed);
        Bytes block(kBlock);
        for (uint64_t done = 0; done < sectionBytes;) {
            size_t n = size_t(std::min<uint64_t>(kBlock, sectionBytes - done));
            content.fill(block.data(), (n + 3) & ~size_t(3));
            placeVersionWords(block.data(), n, done);
            writeAll(code, block.data(), n);
            if (wpb) z.feed(block.data(), n);
            done += n;
        }
        if (wpb) z.finish();
    }
    closeChecked(code);
    if (!wpb) return 0;
    uint64_t size = uint64_t(wpb.tell());
    closeChecked(wpb);
    return size;
}

void writeWpb(const std::string &path, const Bytes &payload, uint32_t typeCode, int zlibLevel) {
    qv::File f = create(path);
    writeAll(f, wpbHeader(typeCode).data(), 144);
    {
        Deflater z(f, zlibLevel);
        z.feed(payload.data(), payload.size());
        z.finish();
    }
    closeChecked(f);
}

void writeDspFile(const std::string &path, uint32_t patchBytes) {
    Bytes f = fileHeader(6);
    putStr(f, "PATC");
    put32(f, 48); // descriptor area length: one entry, no id map
    f.push_back(1);
    f.push_back(0x44);
    f.resize(32, 0);
    Bytes desc = {1, 1, 0, 0}; // version 1, one entry, wanted id = chip id
    desc.push_back(0);         // patch for chip version 0
    put32(desc, 16 + 48);      // data right after the descriptor, counted from offset 16
    put32(desc, patchBytes);
    put32(desc, 0);
    desc.resize(48, 0);
    f.insert(f.end(), desc.begin(), desc.end());
    Rng rng(7);
    for (uint32_t i = 0; i < patchBytes; ++i) f.push_back(uint8_t(rng.next() >> 56));
    writeBytes(path, f);
}

void writeCusFile(const std::string &path, const std::string &typeTag, uint32_t dataBytes, unsigned chunks,
                  uint64_t seed) {
    Bytes f;
    putStr(f, "WCUS");
    putStr(f, typeTag);
    FirmwareContent content(seed);
    for (unsigned c = 0; c < chunks; ++c) {
        uint32_t len = dataBytes / chunks;
        putStr(f, "FRED");
        put32(f, len);
        size_t at = f.size();
        f.resize(at + ((len + 3) & ~3u));
        content.fill(f.data() + at, (len + 3) & ~3u);
        f.resize(at + len);
    }
    writeBytes(path, f);
}

std::string e2pDescriptionText(unsigned objects, uint64_t seed) {
    Rng rng(seed);
    std::string text = "; E2P objects for the benchmarks\nDummy::Version 0 0 0\n1.2.3.4 %ascii\n\n";
    text.reserve(objects * 40);
    for (unsigned i = 0; i < objects; ++i) text += objectText(i, rng);
    return text;
}

Bytes fatStream(uint32_t first, uint32_t count, uint64_t seed) {
    Bytes s(size_t(count) * 516);
    Rng rng(seed);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t *rec = s.data() + size_t(i) * 516;
        uint32_t number = first + i;
        for (int k = 0; k < 4; ++k) rec[k] = uint8_t(number >> (8 * k));
        fillSectorContent(rng, rec + 4, 512);
    }
    return s;
}

uint64_t writeFatFile(const std::string &path, uint8_t kind, uint32_t first, uint32_t count, uint64_t seed) {
    qv::File f = create(path);
    writeAll(f, fileHeader(kind).data(), 16);
    constexpr uint32_t kChunk = 2048; // records per write
    for (uint32_t done = 0; done < count;) {
        uint32_t n = std::min(kChunk, count - done);
        Bytes s = fatStream(first + done, n, seed + done);
        writeAll(f, s.data(), s.size());
        done += n;
    }
    closeChecked(f);
    return 16 + uint64_t(count) * 516;
}

uint32_t raiSectorCount(uint16_t units, uint32_t sectorSize) {
    uint32_t sectors = uint32_t(uint64_t(units) * 0x8000 / sectorSize);
    return (sectors == 0 ? 1 : sectors) + 1;
}

uint32_t raiItemCapacity(uint32_t sectors, uint32_t sectorSize, bool interleaved, uint32_t hashElements) {
    if (sectors < 2) return 0;
    uint32_t usable = interleaved ? sectorSize / 2 : sectorSize;
    int64_t words = (usable - 8) / 4;
    int64_t total = int64_t(sectors) * words * 4;
    int64_t capacity = int64_t(sectors - 1) * words * 4;
    int64_t reserve = std::min<int64_t>(capacity / 4, 0x80000);
    int64_t avail = total - 4 * words - reserve;
    const int64_t itemWords = (516 + 7) / 4, need = 516;
    int64_t bySpace = avail >= need ? (avail - need) / (itemWords * 4) + 1 : 0;
    int64_t byRoom = int64_t(sectors - 1) * (words / itemWords);
    return uint32_t(std::min({bySpace, byRoom, int64_t(hashElements)}));
}

Release planRelease(const ReleaseShape &shape, const std::string &dir) {
    Release r;
    r.dir = dir;
    std::string d = dir + "/";
    r.codeFile = d + "code.bin";
    r.codeWpb = d + "code.wpb";
    r.codeSection = shape.codeBytes;
    r.dspFile = d + "dsp.pat";
    for (unsigned i = 0; i < shape.cusFiles; ++i) r.cusFiles.push_back(d + "custom" + std::to_string(i) + ".cus");
    r.e2pFile = d + "params.e2p";
    r.flashInfo = makeFlashInfo(shape.flashIn64KB, shape.interleaved);
    r.e2pBase = makeE2pBase(kE2pAreaBytes, shape.raiUnits, shape.cacheSize, shape.interleaved);
    r.e2pArea.assign(kE2pAreaBytes, 0xFF);
    r.raiSectors = raiSectorCount(shape.raiUnits, kSector);
    r.raiItems = raiItemCapacity(r.raiSectors, kSector, shape.interleaved, uint32_t(shape.cacheSize) * 256);
    r.hiddenItems = r.raiItems / 4;
    r.userItems = r.raiItems - r.hiddenItems;
    r.userFat = d + "user.fat";
    r.hiddenFat = d + "hidden.fat";
    r.fatBytes = 2 * 16 + uint64_t(r.raiItems) * 516;
    return r;
}

void writeRelease(const ReleaseShape &shape, Release &r) {
    r.wpbBytes = writeCodeFiles(r.codeFile, r.codeWpb, shape.codeBytes, shape.zlibLevel, 1);
    writeDspFile(r.dspFile, 4096);
    static const char *const kTags[] = {"CUST", "LCMC", "SENS", "NETS"};
    for (unsigned i = 0; i < r.cusFiles.size(); ++i)
        writeCusFile(r.cusFiles[i], kTags[i % 4], shape.cusBytes, 1 + i % 3, 100 + i);
    writeText(r.e2pFile, e2pDescriptionText(shape.e2pObjects, 5));
    writeFatFile(r.userFat, 22, 0, r.userItems, 11);
    writeFatFile(r.hiddenFat, 23, 0, r.hiddenItems, 12);
}

namespace {

std::string quotedName(const std::string &path) {
    const size_t slash = path.rfind('/');
    return "\"" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "\"";
}

} // namespace

void writeManifest(const Release &r) {
    const std::string d = r.dir.empty() || r.dir.back() == '/' ? r.dir : r.dir + "/";
    writeBytes(d + "flash.bin", r.flashInfo);
    writeBytes(d + "e2p_base.bin", r.e2pBase);
    writeBytes(d + "e2p_area.bin", r.e2pArea);
    std::string cus;
    for (const std::string &c : r.cusFiles) cus += (cus.empty() ? "" : ", ") + quotedName(c);
    writeText(d + "release.json",
              "{\n  \"flashInfo\": \"flash.bin\",\n  \"images\": [" + quotedName(r.codeFile) + ", " +
                  quotedName(r.userFat) + ", " + quotedName(r.hiddenFat) + "],\n  \"patches\": [" +
                  quotedName(r.dspFile) + "],\n  \"cus\": [" + cus + "],\n  \"e2pFiles\": [" + quotedName(r.e2pFile) +
                  "],\n  \"e2pBase\": \"e2p_base.bin\",\n  \"e2pArea\": \"e2p_area.bin\",\n"
                  "  \"e2pAreaOut\": \"e2p_area.merged\",\n"
                  "  \"outputs\": {\"code\": \"code.img\", \"e2p\": \"e2p.img\", \"rai\": \"rai.img\"},\n"
                  "  \"log\": \"merge.log\"\n}\n");
}

} // namespace qvbench
