// The inputs of two releases by role and name: compared by their bytes, and
// the ones that differ hashed.
#include "report/diff.h"
#include "report/files.h"
#include "report/digests.h"

#include <cstring>
#include <filesystem>
#include <map>

namespace qvcli {
namespace {

using Key = std::tuple<std::string, std::string, int>; // role, file name, occurrence

std::map<Key, const InputFile *> byRole(const ReleaseModel &m) {
    std::map<Key, const InputFile *> out;
    std::map<std::pair<std::string, std::string>, int> seen;
    for (const InputFile &f : m.inputs) {
        if (f.kind == "manifest" || f.file.path.empty()) continue;
        const std::string name = fileName(f.file.path);
        out.emplace(Key{f.kind, name, seen[{f.kind, name}]++}, &f);
    }
    return out;
}

bool sameBytes(const FileFacts &a, const FileFacts &b) {
    if (a.exists != b.exists || a.size != b.size) return false;
    if (!a.exists || a.size == 0) return true;
    std::error_code ec;
    if (std::filesystem::equivalent(a.path, b.path, ec)) return true;
    const MappedFile x(a.path), y(b.path);
    return x.bytes().size() == y.bytes().size() &&
           std::memcmp(x.bytes().data(), y.bytes().data(), x.bytes().size()) == 0;
}

FileFacts hashed(FileFacts f) {
    if (f.exists) f.sha256 = sha256OfFile(f.path).value_or("");
    return f;
}

} // namespace

void compareInputs(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d) {
    const auto ia = byRole(a), ib = byRole(b);
    for (const auto &[key, x] : ia) {
        auto it = ib.find(key);
        if (it == ib.end()) {
            d.inputs.push_back({Change::Removed, std::get<0>(key), std::get<1>(key), hashed(x->file), {}});
            continue;
        }
        bool same = false;
        try {
            same = sameBytes(x->file, it->second->file);
        } catch (const InputError &e) {
            d.notes.push_back(e.what());
        }
        if (!same)
            d.inputs.push_back({Change::Changed, std::get<0>(key), std::get<1>(key), hashed(x->file), hashed(it->second->file)});
    }
    for (const auto &[key, y] : ib)
        if (!ia.count(key)) d.inputs.push_back({Change::Added, std::get<0>(key), std::get<1>(key), {}, hashed(y->file)});
}

} // namespace qvcli
