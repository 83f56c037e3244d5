#include "codeimage/version_words.h"

#include "base/bytes.h"

#include <algorithm>
#include <cstring>

namespace qv {

void VersionWords::Word::watch(int64_t pos, const uint8_t *p, size_t n) {
    int64_t next = at + int64_t(seen); // the first byte not offered yet
    int64_t end = std::min(at + 4, pos + int64_t(n));
    if (next < pos || next >= end) return;
    std::memcpy(bytes + seen, p + (next - pos), size_t(end - next));
    seen += size_t(end - next);
}

void VersionWords::Word::store(uint32_t &word) const {
    uint8_t b[4];
    putLe32(b, word);
    std::memcpy(b, bytes, seen);
    word = le32(b);
}

void VersionWords::watch(int64_t pos, const uint8_t *bytes, size_t n) {
    addr1_.watch(pos, bytes, n);
    addr_.watch(pos, bytes, n);
}

void VersionWords::read(File &code) {
    uint8_t got[4];
    for (Word *w : {&addr1_, &addr_}) {
        size_t n = code.seek(w->at) ? code.read(got, sizeof got) : 0;
        w->watch(w->at, got, n);
    }
}

void VersionWords::store(uint32_t &addr1, uint32_t &addr) const {
    addr1_.store(addr1);
    addr_.store(addr);
}

} // namespace qv
