#include "cli/verify_compare.h"

#include "cli/errors.h"
#include "e2p/image_reader.h"
#include "report/format.h"
#include "report/readers.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qvcli {
namespace {

constexpr uint64_t kJoin = 16;     // differing bytes this close join one range
constexpr size_t kRangesKept = 1000;
constexpr size_t kBytesShown = 8;

std::string bytesText(const std::vector<uint8_t> &b) {
    std::string s;
    for (uint8_t x : b) s += strprintf(s.empty() ? "%02X" : " %02X", x);
    return s;
}

// What the device's bits say about how it was written.
std::string hint(uint64_t cleared, uint64_t set) {
    if (set && cleared) return "bits differ both ways: other data than the release's";
    if (set) return "bits the release programs to 0 read 1: a write that did not happen";
    if (cleared) return "bits the release leaves at 1 read 0: the flash was not erased first, or two writes overlap";
    return "";
}

} // namespace

Comparison::Comparison(const ReleaseRecord &r, const FlashLayout &l, bool e2pContent) : record_(r), layout_(l) {
    if (!e2pContent) return;
    for (const PlacedImage &p : l.images)
        if (p.image == "e2p") e2pFrom_ = p.address, e2pTo_ = p.end();
    if (e2pFrom_ == e2pTo_) throw InputError("--e2p-content: the release has no E2P image");
    e2pDevice_.assign(size_t(e2pTo_ - e2pFrom_), 0xFF);
}

void Comparison::compare(uint64_t address, const uint8_t *want, const uint8_t *got, size_t n) {
    const uint64_t to = address + n;
    if (e2pFrom_ < e2pTo_ && address < e2pTo_ && to > e2pFrom_) {
        const uint64_t from = std::max(address, e2pFrom_), until = std::min(to, e2pTo_);
        std::memcpy(&e2pDevice_[from - e2pFrom_], got + (from - address), size_t(until - from));
        e2pSeen_ += until - from;
        compareBytes(address, want, got, size_t(from - address));
        compareBytes(until, want + (until - address), got + (until - address), size_t(to - until));
        return;
    }
    compareBytes(address, want, got, n);
}

void Comparison::compareBytes(uint64_t address, const uint8_t *want, const uint8_t *got, size_t n) {
    if (std::memcmp(want, got, n) == 0) return;
    constexpr size_t kChunk = 64;
    for (size_t i = 0; i < n; i += kChunk) {
        const size_t m = std::min(kChunk, n - i);
        if (std::memcmp(want + i, got + i, m) == 0) continue;
        for (size_t k = i; k < i + m; ++k)
            if (want[k] != got[k]) differ(address + k, want[k], got[k]);
    }
}

void Comparison::differ(uint64_t address, uint8_t want, uint8_t got) {
    if (!parts_) parts_.emplace(record_, layout_);
    const ReleasePart *part = &parts_->at(address);
    if (!open_ || address - open_->last > kJoin || part != open_->part) {
        close();
        open_ = Range{};
        open_->from = address;
        open_->part = part;
    }
    Range &r = *open_;
    r.last = address;
    ++r.bytes;
    r.cleared += std::popcount(unsigned(want & ~got & 0xFF));
    r.set += std::popcount(unsigned(~want & got & 0xFF));
    if (r.want.size() < kBytesShown) r.want.push_back(want), r.got.push_back(got);
}

void Comparison::close() {
    if (!open_) return;
    if (ranges_.size() < kRangesKept) ranges_.push_back(std::move(*open_));
    else ++moreRanges_;
    open_.reset();
}

void Comparison::e2pContent(FlashContent &content, VerifyResult &v) {
    if (e2pSeen_ < e2pTo_ - e2pFrom_) {
        v.notChecked.push_back({"the E2P partition's content: the readback does not cover the whole E2P image, not checked",
                                Json{{"from", e2pFrom_}, {"to", e2pTo_ - 1}, {"part", "E2P content"}}});
        return;
    }
    std::vector<uint8_t> release(e2pDevice_.size());
    content.read(e2pFrom_, release.data(), release.size());
    Bytes base;
    for (const RecordInput &in : record_.inputs)
        if (in.list == "e2pBase") base = readWholeFile(record_.pathOf(in.file), kE2pBound);
    if (record_.eraseAll) base.assign(base.size(), 0xFF);
    auto replay = [&](const std::vector<uint8_t> &image) {
        qv::E2pImageReader reader(image, qv::layoutOnly(false)); // the flash's bytes: logical addresses
        return qv::replayE2pJournal(reader.e2p, base).content;
    };
    const std::vector<uint8_t> want = replay(release), got = replay(e2pDevice_);
    size_t blocks = 0;
    for (size_t a = 0; a < want.size(); a += 16) {
        const size_t n = std::min<size_t>(16, want.size() - a);
        if (a + n > got.size() || std::memcmp(&want[a], &got[a], n) == 0) continue;
        const std::vector<uint8_t> w(want.begin() + long(a), want.begin() + long(a + n)),
            g(got.begin() + long(a), got.begin() + long(a + n));
        v.differences.push_back({strprintf("E2P parameter block 0x%04zX: release %s, device %s", a, bytesText(w).c_str(),
                                           bytesText(g).c_str()),
                                 Json{{"part", "E2P parameters"}, {"block", a}, {"release", bytesText(w)}, {"device", bytesText(g)}}});
        ++blocks;
    }
    v.checked.push_back(strprintf("the E2P partition by the content its journal replays to (%zu blocks differ)", blocks));
}

void Comparison::finish(FlashContent &content, VerifyResult &v) {
    close();
    if (e2pFrom_ < e2pTo_) e2pContent(content, v);
    for (const Range &r : ranges_) {
        const std::string where = strprintf("0x%08llX-0x%08llX", (unsigned long long)r.from, (unsigned long long)r.last);
        const std::string h = hint(r.cleared, r.set);
        std::string text = where + " in " + r.part->name + ": " + std::to_string(r.bytes) + " bytes differ, release " +
                           bytesText(r.want) + ", device " + bytesText(r.got) + "; " + std::to_string(r.cleared) +
                           " bits cleared that the release sets, " + std::to_string(r.set) +
                           " set that the release clears";
        if (!h.empty()) text += " (" + h + ")";
        v.differences.push_back({text, Json{{"from", r.from}, {"to", r.last}, {"part", r.part->name}, {"bytes", r.bytes},
                                            {"release", bytesText(r.want)}, {"device", bytesText(r.got)},
                                            {"bitsCleared", r.cleared}, {"bitsSet", r.set}, {"hint", h}}});
    }
    if (moreRanges_)
        v.differences.push_back({std::to_string(moreRanges_) + " more differing ranges", Json{{"moreRanges", moreRanges_}}});
}

} // namespace qvcli
