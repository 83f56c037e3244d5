// A read-back of the device against the flash the release puts there,
// streamed in blocks: each difference as an address range with the part of
// the release it lies in and the bits the device cleared or set; what the
// readback does not cover is named as not checked.
#include "cli/errors.h"
#include "cli/hex_records.h"
#include "cli/verify.h"
#include "cli/verify_compare.h"

#include "report/format.h"

#include "base/page_block.h"

#include <algorithm>
#include <map>
#include <optional>

namespace qvcli {
namespace {

constexpr uint64_t kBlock = uint64_t(1) << 20;
// A raw readback is compared in page-aligned blocks that stay in the cache
// the copy from the system goes through: the comparison reads them there.
constexpr uint64_t kRawBlock = uint64_t(1) << 17;

std::string rangeText(uint64_t from, uint64_t to) {
    return strprintf("0x%08llX-0x%08llX", (unsigned long long)from, (unsigned long long)(to - 1));
}

// The addresses a readback gave, to find overlaps and what it leaves out.
class Coverage {
public:
    // Throws InputError when [from, to) meets what an earlier line gave
    // (`where` names it).
    template <class Where> void add(uint64_t from, uint64_t to, const Where &where) {
        // A readback in address order extends the range it added last.
        if (last_ != ranges_.end() && last_->second == from && std::next(last_) == ranges_.end()) {
            last_->second = to;
            return;
        }
        add(from, to, where());
        last_ = std::prev(ranges_.upper_bound(from));
    }
    void add(uint64_t from, uint64_t to, const std::string &where) {
        auto next = ranges_.lower_bound(from);
        if (next != ranges_.end() && next->first < to) overlap(from, to, next->first, where);
        if (next != ranges_.begin()) {
            auto prev = std::prev(next);
            if (prev->second > from) overlap(from, to, prev->first, where);
            if (prev->second == from) {
                prev->second = to;
                if (next != ranges_.end() && next->first == to) prev->second = next->second, ranges_.erase(next);
                return;
            }
        }
        if (next != ranges_.end() && next->first == to) {
            const uint64_t end = next->second;
            ranges_.erase(next);
            ranges_[from] = end;
            return;
        }
        ranges_[from] = to;
    }
    // The ranges of [from, to) not covered.
    std::vector<std::pair<uint64_t, uint64_t>> gaps(uint64_t from, uint64_t to) const {
        std::vector<std::pair<uint64_t, uint64_t>> out;
        uint64_t at = from;
        for (const auto &[a, b] : ranges_) {
            if (a > at) out.emplace_back(at, std::min(a, to));
            at = std::max(at, b);
        }
        if (at < to) out.emplace_back(at, to);
        return out;
    }

private:
    [[noreturn]] static void overlap(uint64_t from, uint64_t to, uint64_t other, const std::string &where) {
        throw InputError(where + ": data at " + rangeText(from, to) + " overlaps data given before (from " +
                         strprintf("0x%08llX", (unsigned long long)other) + ")");
    }
    std::map<uint64_t, uint64_t> ranges_;
    std::map<uint64_t, uint64_t>::iterator last_ = ranges_.end();
};

// The expected flash around the addresses a readback gives, a block at a time.
class ExpectedWindow {
public:
    explicit ExpectedWindow(FlashContent &c) : content_(c), bytes_(kBlock) {}
    const uint8_t *at(uint64_t address, size_t n) {
        if (address < from_ || address + n > from_ + size_) {
            from_ = std::max<uint64_t>(content_.layout().base, address & ~(uint64_t(0xFFFF)));
            size_ = size_t(std::min<uint64_t>(kBlock, content_.layout().end - from_));
            content_.read(from_, bytes_.data(), size_);
        }
        return bytes_.data() + (address - from_);
    }

private:
    FlashContent &content_;
    qv::PageBlock bytes_;
    uint64_t from_ = 0;
    size_t size_ = 0;
};

void compareRaw(const ReadbackOptions &o, FlashContent &content, Comparison &cmp, Coverage &cov) {
    const FlashLayout &l = content.layout();
    const uint64_t at = o.at.value_or(l.base);
    if (at < l.base || at >= l.end)
        throw UsageError("--at: " + strprintf("0x%08llX", (unsigned long long)at) + " lies outside the flash " +
                         rangeText(l.base, l.end));
    qv::File dump(o.path, "rb");
    if (!dump) throw InputError("cannot read " + o.path);
    const uint64_t size = uint64_t(dump.length());
    if (size > l.end - at)
        throw InputError(o.path + ": " + std::to_string(size) + " bytes from " + strprintf("0x%08llX", (unsigned long long)at) +
                         " pass the end of the flash (at most " + std::to_string(l.end - at) + " from there)");
    qv::PageBlock got(kRawBlock), want(kRawBlock);
    for (uint64_t done = 0; done < size;) {
        const size_t n = size_t(std::min<uint64_t>(kRawBlock - (at + done) % kRawBlock, size - done));
        if (dump.readAt(got.data(), n, int64_t(done)) != n) throw InputError("cannot read " + o.path);
        content.read(at + done, want.data(), n);
        cmp.compare(at + done, want.data(), got.data(), n);
        done += n;
    }
    if (size) cov.add(at, at + size, o.path);
}

void compareRecords(const ReadbackOptions &o, FlashFormat f, FlashContent &content, Comparison &cmp, Coverage &cov) {
    const FlashLayout &l = content.layout();
    RecordReader reader(o.path, f);
    ExpectedWindow window(content);
    DataRecord rec;
    while (reader.next(rec)) {
        if (rec.bytes.empty()) continue;
        const uint64_t to = rec.address + rec.bytes.size();
        auto where = [&] { return o.path + ": line " + std::to_string(rec.line); };
        if (rec.address < l.base || to > l.end)
            throw InputError(where() + ": data at " + rangeText(rec.address, to) + " lies outside the flash " +
                             rangeText(l.base, l.end));
        cov.add(rec.address, to, where);
        cmp.compare(rec.address, window.at(rec.address, rec.bytes.size()), rec.bytes.data(), rec.bytes.size());
    }
}

void listGaps(const Coverage &cov, const FlashLayout &l, VerifyResult &v) {
    constexpr size_t kListed = 100;
    const auto gaps = cov.gaps(l.base, l.end);
    for (size_t i = 0; i < gaps.size() && i < kListed; ++i)
        v.notChecked.push_back({rangeText(gaps[i].first, gaps[i].second) + ": not in the readback, not checked",
                                Json{{"from", gaps[i].first}, {"to", gaps[i].second - 1}}});
    if (gaps.size() > kListed)
        v.notChecked.push_back({std::to_string(gaps.size() - kListed) + " more ranges not checked",
                                Json{{"moreRanges", gaps.size() - kListed}}});
}

} // namespace

void verifyReadback(const ReleaseRecord &r, const ReadbackOptions &o, VerifyResult &v) {
    const FlashLayout layout = flashLayoutOf(r);
    const FlashFormat format = flashFormatFor(o.path, o.format, "--readback");
    if (format != FlashFormat::Raw && o.at) throw UsageError("--at: only for a raw readback (HEX and S-records carry their addresses)");
    // The images are hashed while the comparison reads them, then checked
    // against their digests.
    std::optional<ImageFacts> digests;
    if (!o.skipImageDigests) digests.emplace(layout);
    FlashContent content(layout);
    Comparison cmp(r, layout, o.e2pContent);
    Coverage cov;
    if (format == FlashFormat::Raw) compareRaw(o, content, cmp, cov);
    else compareRecords(o, format, content, cmp, cov);
    if (digests) {
        VerifyResult images;
        verifyFolder(r, true, images, [&](const std::string &path) { return (*digests)(path); });
        v.differences.insert(v.differences.end(), images.differences.begin(), images.differences.end());
    } else {
        v.notChecked.push_back({"the images against their recorded digests (--skip-image-digests)",
                                Json{{"part", "image digests"}}});
    }
    cmp.finish(content, v);
    listGaps(cov, layout, v);
    v.checked.push_back("readback " + o.path + " against the release's flash " + rangeText(layout.base, layout.end));
}

} // namespace qvcli
