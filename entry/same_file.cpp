#include "entry/same_file.h"

#include "base/results.h"
#include "base/log.h"
#include "base/same_file.h"

namespace qv {
namespace {

void addAll(std::vector<FileId> &ids, const std::vector<std::string> &paths) {
    for (const std::string &p : paths)
        if (!p.empty()) ids.emplace_back(p);
}

} // namespace

int checkOutputsAreNotInputs(const HostLists &in, const MergeOutputs &out, const std::string &logPath,
                             std::string &msg) {
    std::vector<FileId> inputs, outputs;
    for (const std::vector<std::string> *list : {&in.images, &in.patches, &in.cus, &in.e2pFiles})
        addAll(inputs, *list);
    addAll(outputs, {out[kCodeOutput].imagePath, out[kE2pOutput].imagePath, out[kRaiOutput].imagePath, logPath});
    for (size_t i = 0; i < outputs.size(); ++i) {
        for (const FileId &input : inputs) {
            if (!outputs[i].sameAs(input)) continue;
            msg = strprintf("output %s is the same file as the input %s", outputs[i].path().c_str(),
                            input.path().c_str());
            return kErrOutputIsInput;
        }
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            if (!outputs[i].sameAs(outputs[j])) continue;
            msg = strprintf("output %s is the same file as the output %s", outputs[i].path().c_str(),
                            outputs[j].path().c_str());
            return kErrOutputIsOutput;
        }
    }
    return 0;
}

} // namespace qv
