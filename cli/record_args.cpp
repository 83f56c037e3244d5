// The merge arguments a release record names: what `verify --remerge` merges
// again and what `diff` reads a recorded release from.
#include "cli/record.h"

#include <map>

namespace qvcli {

MergeArgs recordedArgs(const ReleaseRecord &r, bool &lenient) {
    MergeArgs a;
    std::map<std::string, std::vector<std::string> *> lists{
        {"images", &a.images}, {"patches", &a.patches}, {"cus", &a.cus}, {"e2pFiles", &a.e2pFiles}};
    for (const RecordInput &in : r.inputs) {
        const std::string path = r.pathOf(in.file);
        if (auto it = lists.find(in.list); it != lists.end()) it->second->push_back(path);
        if (in.list == "flashInfo") a.flashInfoPath = path;
        if (in.list == "e2pBase") a.e2pBase = path;
        if (in.list == "e2pArea") a.e2pArea = path;
        lenient = lenient || !in.used;
    }
    if (a.flashInfoPath.empty()) a.flashInfoRecord = qv::encodeFlashDesc(r.flash);
    a.eraseAll = r.eraseAll;
    std::string *outputs[] = {&a.outCode, &a.outE2p, &a.outRai};
    const char *images[] = {"code", "e2p", "rai"};
    for (size_t i = 0; i < 3; ++i)
        if (const RecordOutput *o = r.output(images[i]); o && !o->file.path.empty()) *outputs[i] = r.pathOf(o->file);
    if (r.mergedArea) a.e2pAreaOut = r.pathOf(*r.mergedArea);
    if (!r.log.path.empty()) a.log = r.pathOf(r.log);
    return a;
}

} // namespace qvcli
