// The E2P parameters of two releases by name, and the changed bytes that no
// object of either release covers.
#include "e2p/image_reader.h"
#include "report/diff.h"

#include <map>

namespace qvcli {
namespace {

struct Listed {
    const qv::E2pParam *param;
    const qv::E2pParamNow *now;
};

// The objects of a release by name and occurrence of that name.
std::map<std::pair<std::string, int>, Listed> byName(const qv::E2pImageParams &p) {
    std::map<std::pair<std::string, int>, Listed> out;
    std::map<std::string, int> seen;
    for (size_t i = 0; i < p.table.params.size(); ++i)
        out.emplace(std::make_pair(p.table.params[i].name, seen[p.table.params[i].name]++),
                    Listed{&p.table.params[i], &p.now[i]});
    return out;
}

bool sameParam(const Listed &a, const Listed &b) {
    return a.param->offset == b.param->offset && a.param->size == b.param->size && a.now->bytes == b.now->bytes &&
           qv::e2pTypesText(*a.param) == qv::e2pTypesText(*b.param) &&
           qv::e2pValuesText(*a.now) == qv::e2pValuesText(*b.now);
}

ParamChange change(Change c, const std::string &name, const Listed *a, const Listed *b) {
    ParamChange p;
    p.change = c;
    p.name = name;
    p.address = (b ? b : a)->param->address;
    if (a) {
        p.before = qv::e2pValuesText(*a->now);
        p.oldParam = a->param;
        p.oldNow = a->now;
    }
    if (b) {
        p.after = qv::e2pValuesText(*b->now);
        p.newParam = b->param;
        p.newNow = b->now;
    }
    return p;
}

} // namespace

void compareParams(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d) {
    if (!a.params || !b.params) {
        if (a.params || b.params) d.notes.push_back("the E2P image of only one release could be read");
        return;
    }
    const auto pa = byName(*a.params), pb = byName(*b.params);
    for (const auto &[key, x] : pa) {
        auto it = pb.find(key);
        if (it == pb.end()) d.params.push_back(change(Change::Removed, key.first, &x, nullptr));
        else if (!sameParam(x, it->second)) d.params.push_back(change(Change::Changed, key.first, &x, &it->second));
    }
    for (const auto &[key, y] : pb)
        if (!pa.count(key)) d.params.push_back(change(Change::Added, key.first, nullptr, &y));
    const bool ia = a.flash && a.flash->desc.interleaved(), ib = b.flash && b.flash->desc.interleaved();
    qv::E2pImageReader ra(a.params->replay.content, qv::layoutOnly(ia)), rb(b.params->replay.content, qv::layoutOnly(ib));
    d.e2pBlocks = qv::e2pUncoveredChanges(ra.e2p, rb.e2p, {&a.params->table, &b.params->table});
}

} // namespace qvcli
