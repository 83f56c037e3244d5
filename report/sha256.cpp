#include "report/sha256.h"

#include "base/file.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

namespace qvcli {
namespace {

struct ContextFree {
    void operator()(EVP_MD_CTX *c) const { EVP_MD_CTX_free(c); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextFree>;

Context startDigest() {
    Context c(EVP_MD_CTX_new());
    if (c && EVP_DigestInit_ex(c.get(), EVP_sha256(), nullptr) != 1) c.reset();
    return c;
}

std::string finishDigest(EVP_MD_CTX *c) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_DigestFinal_ex(c, md, &n) != 1) return {};
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < n; ++i) {
        out += kDigits[md[i] >> 4];
        out += kDigits[md[i] & 15];
    }
    return out;
}

} // namespace

std::string sha256Hex(const uint8_t *data, size_t size) {
    Context c = startDigest();
    if (!c || EVP_DigestUpdate(c.get(), data, size) != 1) return {};
    return finishDigest(c.get());
}

std::optional<std::string> sha256OfFile(const std::string &path) {
    qv::File f(path, "rb");
    Context c = startDigest();
    if (!f || !c) return std::nullopt;
    std::vector<uint8_t> block(size_t(1) << 20);
    int64_t at = 0;
    for (size_t n; (n = f.readAt(block.data(), block.size(), at)) > 0; at += int64_t(n))
        if (EVP_DigestUpdate(c.get(), block.data(), n) != 1) return std::nullopt;
    if (at != f.length()) return std::nullopt;
    std::string hex = finishDigest(c.get());
    if (hex.empty()) return std::nullopt;
    return hex;
}

} // namespace qvcli
