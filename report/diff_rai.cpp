// The file-system sectors the RAI areas of two releases store, per FAT image.
#include "report/areas.h"
#include "report/diff.h"

#include <map>

namespace qvcli {
namespace {

using Sectors = std::map<uint32_t, const std::vector<uint8_t> *>;

// The valid file-system sectors of one FAT image, by sector number.
Sectors sectorsOf(const RaiStoreContents &img, FsImage image) {
    Sectors out;
    for (const RaiSector &s : img.sectors)
        for (const RaiItem &it : s.items) {
            const FsSectorRef f = fsSectorOf(it.id);
            if (it.valid && f.image == image) out[f.number] = &it.data;
        }
    return out;
}

FatChange compareImage(const RaiStoreContents &a, const RaiStoreContents &b, FsImage image, const char *name) {
    const Sectors sa = sectorsOf(a, image), sb = sectorsOf(b, image);
    FatChange c;
    c.image = name;
    c.before = uint32_t(sa.size());
    c.after = uint32_t(sb.size());
    for (const auto &[n, data] : sa) {
        auto it = sb.find(n);
        if (it == sb.end()) c.removed.add(n, uint64_t(n) + 1);
        else if (*data != *it->second) c.changed.add(n, uint64_t(n) + 1);
    }
    for (const auto &[n, data] : sb)
        if (!sa.count(n)) c.added.add(n, uint64_t(n) + 1);
    return c;
}

} // namespace

void compareRai(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d) {
    if (!a.rai || !b.rai) {
        if (a.rai || b.rai) d.notes.push_back("the RAI image of only one release could be read");
        return;
    }
    d.fat.push_back(compareImage(*a.rai, *b.rai, FsImage::User, "user FAT"));
    d.fat.push_back(compareImage(*a.rai, *b.rai, FsImage::Hidden, "hidden FAT"));
    d.fillBefore = raiUsePercent(*a.rai);
    d.fillAfter = raiUsePercent(*b.rai);
    d.itemsBefore = a.rai->validItems;
    d.itemsAfter = b.rai->validItems;
}

} // namespace qvcli
