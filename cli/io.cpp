#include "cli/io.h"

#include <quorvel/quorvel.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace qvcli {

bool readWholeFile(const std::string &path, std::vector<uint8_t> &out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "error: cannot read %s\n", path.c_str());
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool writeWholeFile(const std::string &path, const std::vector<uint8_t> &data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    f.close();
    if (!f) {
        std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool readFlashInfo(const std::string &path, std::vector<uint8_t> &out) {
    if (!readWholeFile(path, out)) return false;
    if (out.size() < qv::FlashInfo::kMinSize) out.resize(qv::FlashInfo::kMinSize, 0);
    uint64_t parts = qv::FlashInfo(out.data()).memPartCount();
    uint64_t need = qv::FlashInfo::kMemPartsOffset + parts * qv::FlashInfo::kMemPartSize;
    if (need > (uint64_t(1) << 24)) {
        std::fprintf(stderr, "error: %s: memPartCount %llu is too large\n", path.c_str(),
                     static_cast<unsigned long long>(parts));
        return false;
    }
    if (out.size() < need) out.resize(size_t(need), 0);
    return true;
}

std::string jsonEscape(const std::string &s) {
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace qvcli
