#include "entry/outputs_not_inputs.h"

#include "base/results.h"
#include "base/log.h"
#include "base/same_file.h"

namespace qv {
namespace {

int refuse(std::string &msg, Cause *why, int code, const FileId &output, const char *kind, const FileId &other) {
    msg = strprintf("output %s is the same file as the %s %s", output.path().c_str(), kind, other.path().c_str());
    if (why) {
        why->explain("%s", output.sameness().c_str());
        why->name(output.path());
    }
    return code;
}

void addAll(std::vector<FileId> &ids, const std::vector<std::string> &paths) {
    for (const std::string &p : paths)
        if (!p.empty()) ids.emplace_back(p);
}

} // namespace

int checkOutputsAreNotInputs(const HostLists &in, const MergeOutputs &out, const std::string &logPath,
                             std::string &msg, Cause *why) {
    std::vector<FileId> inputs, outputs;
    for (const std::vector<std::string> *list : {&in.images, &in.patches, &in.cus, &in.e2pFiles})
        addAll(inputs, *list);
    addAll(outputs, {out[kCodeOutput].imagePath, out[kE2pOutput].imagePath, out[kRaiOutput].imagePath, logPath});
    for (size_t i = 0; i < outputs.size(); ++i) {
        for (const FileId &input : inputs) {
            if (outputs[i].sameAs(input)) return refuse(msg, why, kErrOutputIsInput, outputs[i], "input", input);
        }
        for (size_t j = i + 1; j < outputs.size(); ++j) {
            if (outputs[i].sameAs(outputs[j]))
                return refuse(msg, why, kErrOutputIsOutput, outputs[i], "output", outputs[j]);
        }
    }
    return 0;
}

} // namespace qv
