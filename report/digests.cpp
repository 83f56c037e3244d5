#include "report/digests.h"

#include "base/file.h"
#include "base/page_block.h"
#include "base/sha256.h"

#include <vector>

namespace qvcli {
namespace {

std::string hexOf(const std::optional<qv::Sha256::Digest> &d) {
    if (!d) return {};
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : *d) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

} // namespace

std::string hexDigest(qv::Sha256 &digest) { return hexOf(digest.finish()); }

std::string sha256Hex(const uint8_t *data, size_t size) {
    qv::Sha256 digest;
    if (!digest.update(data, size)) return {};
    return hexDigest(digest);
}

std::optional<std::string> sha256OfFile(const std::string &path) {
    qv::File f(path, "rb");
    qv::Sha256 digest;
    if (!f) return std::nullopt;
    qv::PageBlock block(size_t(1) << 17); // page-aligned, in the cache: the system copies into it fast
    int64_t at = 0;
    for (size_t n; (n = f.readAt(block.data(), block.size(), at)) > 0; at += int64_t(n))
        if (!digest.update(block.data(), n)) return std::nullopt;
    if (at != f.length()) return std::nullopt;
    std::string hex = hexDigest(digest);
    if (hex.empty()) return std::nullopt;
    return hex;
}

} // namespace qvcli
