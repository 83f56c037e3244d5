#include "cli/fat_extract.h"

#include "cli/errors.h"

#include <filesystem>
#include <map>

namespace qvcli {
namespace {

constexpr uint8_t kUserKind = 22, kHiddenKind = 23;
constexpr size_t kSectorBytes = 512;

using Sectors = std::map<uint32_t, const Bytes *>; // sector number to its contents

Bytes fatFile(uint8_t kind, const Sectors &sectors) {
    Bytes out(16, 0);
    out[9] = kind;
    for (const auto &[number, data] : sectors) {
        uint8_t n[4];
        putLe32(n, number);
        out.insert(out.end(), n, n + 4);
        out.insert(out.end(), data->begin(), data->end());
    }
    return out;
}

} // namespace

FatExtract extractFat(const RaiImage &img, const std::string &dir) {
    Sectors user, hidden;
    FatExtract r;
    for (const RaiSector &s : img.sectors) {
        for (const RaiItem &it : s.items) {
            if (!it.valid) continue;
            const FatSector f = fatSectorOf(it.id);
            if (it.data.size() != kSectorBytes || f.image == FatImage::None) {
                ++r.otherItems;
                continue;
            }
            (f.image == FatImage::User ? user : hidden)[f.number] = &it.data;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw InputError("cannot create the folder " + dir + ": " + ec.message());
    r.userPath = (std::filesystem::path(dir) / "user.fat").string();
    r.hiddenPath = (std::filesystem::path(dir) / "hidden.fat").string();
    writeWholeFile(r.userPath, fatFile(kUserKind, user));
    writeWholeFile(r.hiddenPath, fatFile(kHiddenKind, hidden));
    r.userSectors = uint32_t(user.size());
    r.hiddenSectors = uint32_t(hidden.size());
    return r;
}

} // namespace qvcli
