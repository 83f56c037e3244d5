#include "e2p/journal.h"

#include "e2p/access.h"
#include "flash/geometry.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qv {
namespace {

void useImage(E2pState &e2p, E2pImageRef image) {
    fms_E2pClearImage(e2p);
    fms_E2pSetImage(e2p, image.data, image.size);
}

E2pImageRef currentImage(E2pState &e2p) { return {e2p.e2pImage, e2p.e2pImageSize}; }

// Logical address of the data of a record with n bytes at P.
uint64_t dataAddress(uint32_t p, uint16_t n) { return uint64_t(p) + kE2pRecHeader + (n & 1u); }

} // namespace

bool e2pReadRecHeader(E2pState &e2p, uint32_t p, E2pRecHeader &h) {
    return fms_E2pRead(e2p, p, kE2pRecHeader, h.b) == 0;
}

uint8_t e2pRecHeaderCheck(const E2pRecHeader &h) { return uint8_t(h.b[0] ^ (h.b[1] & 0x3F) ^ h.b[2] ^ h.b[3]); }

E2pRecEnd e2pRecEnd(const E2pRecHeader &h) {
    if (std::all_of(h.b, h.b + kE2pRecHeader, [](uint8_t v) { return v == 0xFF; })) return E2pRecEnd::Erased;
    if ((h.word0() & 0x4000) != 0) return E2pRecEnd::EndFlag;
    if (h.count() == 0) return E2pRecEnd::ZeroLength;
    if ((h.storedCheck() & 0x7F) != (e2pRecHeaderCheck(h) & 0x7F)) return E2pRecEnd::BadCheck;
    return E2pRecEnd::None;
}

bool e2pReadRecData(E2pState &e2p, uint32_t p, const E2pRecHeader &h, std::vector<uint8_t> &data) {
    const uint64_t at = dataAddress(p, h.count());
    data.assign(h.count(), 0);
    return at <= UINT32_MAX && fms_E2pRead(e2p, uint32_t(at), h.count(), data.data()) == 0;
}

uint32_t e2pLogicalBytes(const FlashState &flash, uint32_t areaImageBytes) {
    return fms_IsInterleaved(flash) ? areaImageBytes / 2 : areaImageBytes;
}

uint8_t fms_E2pRecHdrCheck(E2pState &e2p, uint32_t p) {
    E2pRecHeader h;
    e2pReadRecHeader(e2p, p, h);
    return e2pRecHeaderCheck(h);
}

bool fms_E2pRecIsErased(E2pState &e2p, uint32_t p) {
    E2pRecHeader h;
    return e2pReadRecHeader(e2p, p, h) && e2pRecEnd(h) == E2pRecEnd::Erased;
}

bool fms_E2pRecValid(E2pState &e2p, uint32_t p) {
    E2pRecHeader h;
    return e2pReadRecHeader(e2p, p, h) && e2pRecEnd(h) == E2pRecEnd::None;
}

uint64_t fms_E2pRecNext(E2pState &e2p, uint32_t p) {
    E2pRecHeader h;
    e2pReadRecHeader(e2p, p, h);
    return dataAddress(p, h.count()) + h.count();
}

void fms_E2pRecApply(E2pState &e2p, uint32_t p, E2pImageRef content) {
    const E2pImageRef journal = currentImage(e2p);
    E2pRecHeader h;
    std::vector<uint8_t> data;
    if (!e2pReadRecHeader(e2p, p, h) || !e2pReadRecData(e2p, p, h, data)) return;
    useImage(e2p, content);
    fms_E2pWrite(e2p, h.address(), h.count(), data.data()); // refused: the record is skipped
    useImage(e2p, journal);
}

void fms_E2pRecWriteHdr(E2pState &e2p, uint32_t p, uint16_t a, uint16_t n) {
    const uint16_t word0 = uint16_t(0x8000 | (a & 0x3FFF));
    const uint8_t check = uint8_t((a & 0xFF) ^ (a >> 8) ^ (n & 0xFF) ^ (n >> 8));
    const uint8_t h[kE2pRecHeader] = {uint8_t(word0), uint8_t(word0 >> 8), uint8_t(n), uint8_t(n >> 8), check,
                                      0xFF};
    fms_E2pWrite(e2p, p, kE2pRecHeader, h);
}

uint8_t fms_E2pRecDataXor(E2pState &e2p, uint32_t p) {
    E2pRecHeader h;
    std::vector<uint8_t> data;
    if (!e2pReadRecHeader(e2p, p, h) || !e2pReadRecData(e2p, p, h, data)) return 0;
    uint8_t x = 0;
    for (uint8_t v : data) x ^= v;
    return x;
}

void fms_E2pRecSetDataXor(E2pState &e2p, uint32_t p) {
    const uint8_t x = fms_E2pRecDataXor(e2p, p);
    if (uint64_t(p) + 5 <= UINT32_MAX) fms_E2pWrite(e2p, p + 5, 1, &x);
}

void fms_E2pReplay(E2pState &e2p, E2pImageRef journal, E2pImageRef content) {
    useImage(e2p, journal);
    uint64_t p = 0;
    while (p <= UINT32_MAX && fms_E2pRecValid(e2p, uint32_t(p))) {
        fms_E2pRecApply(e2p, uint32_t(p), content);
        p = fms_E2pRecNext(e2p, uint32_t(p));
    }
}

E2pJournalBuild fms_E2pBuildJournal(E2pState &e2p, E2pImageRef fresh, E2pImageRef base, E2pImageRef out) {
    const uint32_t logical = e2pLogicalBytes(e2p.flash, e2p.e2pAreaSize);
    const uint32_t capacity = logical >= 2 ? (logical - 2) / kE2pRecLength : 0;
    E2pJournalBuild result;
    uint8_t a[kE2pBlock], b[kE2pBlock];
    for (uint64_t off = 0; off + kE2pBlock <= logical; off += kE2pBlock) {
        useImage(e2p, fresh);
        if (fms_E2pRead(e2p, uint32_t(off), kE2pBlock, a) != 0) continue; // image too small: nothing to compare
        useImage(e2p, base);
        if (fms_E2pRead(e2p, uint32_t(off), kE2pBlock, b) != 0) continue;
        if (std::equal(a, a + kE2pBlock, b)) continue;
        ++result.changed;
        if (off >= kE2pRecAddressLimit) {
            ++result.unaddressable;
            continue;
        }
        if (result.records == capacity) {
            ++result.unfit;
            continue;
        }
        const uint32_t q = result.records * kE2pRecLength;
        useImage(e2p, out);
        fms_E2pRecWriteHdr(e2p, q, uint16_t(off), kE2pBlock);
        fms_E2pWrite(e2p, q + kE2pRecHeader, kE2pBlock, a);
        fms_E2pRecSetDataXor(e2p, q);
        ++result.records;
    }
    return result;
}

} // namespace qv
