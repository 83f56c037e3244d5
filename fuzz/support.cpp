#include "support.h"

#include <quorvel/quorvel.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qvfuzz {

FuzzDir::FuzzDir() {
    // TMPDIR, else memory where the system has a file system there: a target
    // that writes files every execution then waits for no disk.
    const char *tmp = std::getenv("TMPDIR");
    std::error_code ec;
    const char *dir = tmp && *tmp ? tmp : std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : "/tmp";
    std::string tmpl = std::string(dir) + "/qvfuzz.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

FuzzDir::~FuzzDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string FuzzDir::write(const std::string &name, const Bytes &data) const {
    std::string p = file(name);
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    return p;
}

std::vector<Bytes> splitPieces(const uint8_t *data, size_t size) {
    static const uint8_t kMarker[4] = {'Q', 'V', 'F', 'Z'};
    std::vector<Bytes> pieces(1);
    for (size_t i = 0; i < size;) {
        if (i + 4 <= size && std::memcmp(data + i, kMarker, 4) == 0) {
            pieces.emplace_back();
            i += 4;
        } else {
            pieces.back().push_back(data[i++]);
        }
    }
    return pieces;
}

Bytes flashRecord(const Bytes &piece) {
    Bytes rec(piece);
    if (rec.size() < qv::FlashInfo::kMinSize) rec.resize(qv::FlashInfo::kMinSize, 0);
    rec[44] &= 0x07; // at most 7 memory parts
    rec[45] = rec[46] = rec[47] = 0;
    size_t need = qv::FlashInfo::kMemPartsOffset + qv::FlashInfo::kMemPartSize * rec[44];
    if (rec.size() < need) rec.resize(need, 0);
    return rec;
}

} // namespace qvfuzz
