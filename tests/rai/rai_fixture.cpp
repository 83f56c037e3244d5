#include "rai_fixture.h"

#include "e2p/access.h"
#include "flash/geometry.h"
#include "rai/image_buffer.h"

#include <cstdio>

namespace qvtest {

void RaiTest::SetUp() {
    qvtest::resetContext(ctx);
    seam = qvtest::IoFaultSeam{};
    logPath_ = dir_.file("merge.log");
    ctx.io.log.open(logPath_);
}

void RaiTest::TearDown() {
    seam = qvtest::IoFaultSeam{};
    qvtest::resetContext(ctx);
}

void RaiTest::useFlash(const FlashInfoSpec &flashDesc) {
    flash_ = flashDesc.build();
    qv::fms_SetFlashInfo(ctx.flash, flash_.data());
    ctx.flash.versionAddr1 = flashDesc.versionAddr1;
}

void RaiTest::useE2p(uint32_t areaSize, size_t imageSize) {
    e2p_.assign(imageSize, 0xFF);
    ctx.e2p.e2pAreaSize = areaSize;
    qv::fms_E2pSetImage(ctx.e2p, e2p_.data(), uint32_t(e2p_.size()));
}

void RaiTest::setUsualParameters(uint8_t traceCount, uint16_t raiUnits, uint8_t cache) {
    setByte(253, traceCount);
    setByte(254, uint8_t(100 - traceCount));
    setWord(296, raiUnits);
    setWord(298, uint16_t(0xFFFF - raiUnits));
    setByte(237, cache);
}

std::vector<std::string> RaiTest::takeLog() {
    ctx.io.log.close();
    std::vector<std::string> lines = readLines(logPath_);
    ctx.io.log.open(logPath_);
    return lines;
}

Bytes savedImage(qv::RaiState &rai) {
    TempDir d;
    std::string path = d.file("image");
    {
        qv::File f(path, "wb");
        qv::imageSave(rai.image, f);
    }
    return readFile(path);
}

std::map<uint32_t, FoundItem> readItems(const Bytes &image, uint32_t base, uint32_t sectorSize, uint32_t sectors) {
    std::map<uint32_t, FoundItem> items;
    for (uint32_t s = 0; s < sectors; ++s) {
        size_t start = size_t(s) * sectorSize;
        if (start + 8 > image.size() || get32(image, start) != 0x00000F0B) continue;
        for (size_t p = start + 8; p + 8 <= start + sectorSize;) {
            uint32_t word0 = get32(image, p);
            if (word0 == 0xFFFFFFFF) break;
            uint32_t length = word0 >> 16;
            FoundItem item;
            item.address = base + uint32_t(p);
            item.word0 = word0;
            item.data.assign(image.begin() + long(p + 8), image.begin() + long(p + 4 + length));
            items[get32(image, p + 4)] = item;
            p += (length + 7) / 4 * 4;
        }
    }
    return items;
}

Bytes records(const std::vector<std::pair<uint32_t, Bytes>> &sectors) {
    Bytes out;
    for (const auto &[number, data] : sectors) {
        put32(out, number);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

Bytes sectorBytes(uint32_t seed) { return randomBytes(512, seed); }

} // namespace qvtest
