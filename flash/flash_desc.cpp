#include "flash/flash_desc.h"

#include "base/bytes.h"
#include "base/text_format.h"
#include "flash/geometry.h"

#include <algorithm>
#include <array>

namespace qv {
namespace {

using LayoutRecord = std::array<uint8_t, FlashInfo::kMinSize>;

// A record whose `flags` word is all the layout there is.
constexpr LayoutRecord layoutRecord(bool interleaved) {
    LayoutRecord r{};
    r[FlashInfo::kFlagsOffset] = interleaved ? 1 : 0;
    return r;
}

constexpr LayoutRecord kFlatRecord = layoutRecord(false);
constexpr LayoutRecord kInterleavedRecord = layoutRecord(true);

size_t recordSize(uint64_t memParts) {
    return size_t(std::max<uint64_t>(FlashInfo::kMinSize, FlashInfo::kMemPartsOffset + FlashInfo::kMemPartSize * memParts));
}

} // namespace

std::vector<uint8_t> encodeFlashDesc(const FlashDesc &d) {
    std::vector<uint8_t> b(recordSize(d.memParts.size()), 0);
    using F = FlashInfo;
    putLe16(&b[F::kChipIdOffset], d.chipId);
    putLe16(&b[F::kChipSubIdOffset], d.chipSubId);
    putLe16(&b[F::kOptionsOffset], d.options);
    putLe16(&b[F::kSizeIn64KBOffset], d.sizeIn64KB);
    b[F::kRegionCountOffset] = uint8_t(d.regions.size());
    for (unsigned k = 0; k < d.regions.size() && k < kMaxFlashRegions; ++k) {
        putLe16(&b[F::regionOffset(k)], d.regions[k].shift);
        putLe16(&b[F::regionOffset(k) + 2], d.regions[k].count);
    }
    putLe32(&b[F::kBaseAddressOffset], d.baseAddress);
    putLe32(&b[F::kCusOffsetOffset], d.cusOffset);
    putLe32(&b[F::kVersionAddrOffset], d.versionAddr);
    putLe32(&b[F::kVersionAddr1Offset], d.versionAddr1);
    putLe32(&b[F::kMemPartCountOffset], uint32_t(d.memParts.size()));
    for (uint32_t i = 0; i < d.memParts.size(); ++i) {
        uint8_t *entry = &b[F::memPartOffset(i)];
        putLe32(entry, d.memParts[i].id);
        putLe16(entry + F::kMemPartDidrOffset, d.memParts[i].didr);
    }
    // `flags` shares its bytes with the first memory part (entry offset 68),
    // which the library never reads there; it is written last.
    putLe32(&b[FlashInfo::kFlagsOffset], d.flags);
    return b;
}

std::optional<std::string> flashRecordShortfall(std::span<const uint8_t> record) {
    if (record.size() < FlashInfo::kMinSize)
        return "a FlashInfo record holds at least " + std::to_string(FlashInfo::kMinSize) + " bytes, this one " +
               std::to_string(record.size());
    const uint32_t parts = FlashInfo(record.data()).memPartCount();
    const uint64_t need = FlashInfo::kMemPartsOffset + uint64_t(FlashInfo::kMemPartSize) * parts;
    if (need > record.size())
        return "memPartCount " + std::to_string(parts) + " needs " + std::to_string(need) + " bytes, the record has " +
               std::to_string(record.size());
    return std::nullopt;
}

std::span<const uint8_t> flashRecordFields(std::span<const uint8_t> record) {
    return record.first(recordSize(FlashInfo(record.data()).memPartCount()));
}

FlashDesc decodeFlashDesc(std::span<const uint8_t> record) {
    const FlashInfo fi(record.data());
    FlashDesc d;
    d.chipId = fi.chipId();
    d.chipSubId = fi.chipSubId();
    d.options = fi.options();
    d.sizeIn64KB = fi.sizeIn64KB();
    d.regionCount = fi.regionCount();
    for (unsigned k = 0; k < d.regionCount && k < kMaxFlashRegions; ++k)
        d.regions.push_back({fi.regionShift(k), fi.regionCountOfSectors(k)});
    d.baseAddress = fi.baseAddress();
    d.cusOffset = fi.cusOffset();
    d.versionAddr = fi.versionAddr();
    d.versionAddr1 = fi.versionAddr1();
    d.memPartCount = fi.memPartCount();
    for (uint32_t i = 0; i < d.memPartCount; ++i) d.memParts.push_back({fi.memPartId(i), fi.memPartDidr(i)});
    d.flags = fi.flags();
    return d;
}

bool looksLikeFlashRecord(std::span<const uint8_t> b) {
    if (b.size() < FlashInfo::kMinSize || b.size() > recordSize(kMaxMemParts)) return false;
    const FlashInfo fi(b.data());
    if (b.size() != recordSize(fi.memPartCount()) || fi.sizeIn64KB() == 0) return false;
    FlashState flash;
    fms_SetFlashInfo(flash, b.data());
    return fms_GeometryValid(flash);
}

FlashState FlashRecord::state() const {
    FlashState s;
    fms_SetFlashInfo(s, bytes.data());
    s.versionAddr = desc.versionAddr;
    s.versionAddr1 = desc.versionAddr1;
    return s;
}

FlashState layoutOnly(bool interleaved) {
    FlashState s;
    fms_SetFlashInfo(s, interleaved ? kInterleavedRecord.data() : kFlatRecord.data());
    return s;
}

FlashRecord flashRecordOf(const FlashDesc &d) { return FlashRecord{encodeFlashDesc(d), d}; }

FlashRecord flashRecordFrom(std::vector<uint8_t> bytes) {
    FlashDesc d = decodeFlashDesc(bytes);
    return FlashRecord{std::move(bytes), std::move(d)};
}

std::vector<std::string> flashRecordProblems(const FlashRecord &r) {
    const FlashDesc &d = r.desc;
    std::vector<std::string> out;
    if (d.regionCount < 1 || d.regionCount > kMaxFlashRegions)
        out.push_back("regionCount " + std::to_string(d.regionCount) + " is outside 1 to 4");
    for (size_t k = 0; k < d.regions.size(); ++k)
        if (d.regions[k].shift >= 32)
            out.push_back("region " + std::to_string(k) + " has a sector shift of " +
                          std::to_string(d.regions[k].shift));
    if (d.sizeIn64KB == 0) out.push_back("sizeIn64KB is 0");
    const FlashState flash = r.state();
    const std::vector<RegionRange> ranges = regionRanges(flash);
    if (!ranges.empty() && ranges.back().end != flashBankEnd(flash))
        out.push_back("the regions end at " + hex(ranges.back().end) + ", the flash at " + hex(flashBankEnd(flash)));
    return out;
}

} // namespace qv
