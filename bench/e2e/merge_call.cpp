#include "e2e/merge_call.h"

#include <quorvel/quorvel.h>

#include <cstring>

namespace qvbench {

std::vector<std::string> mergeOutputPaths(const std::string &outDir) {
    return {outDir + "/code.img", outDir + "/e2p.img", outDir + "/rai.img", outDir + "/merge.log"};
}

namespace {

std::vector<const char *> cStrings(const std::vector<std::string> &list) {
    std::vector<const char *> out;
    for (const std::string &s : list) out.push_back(s.c_str());
    return out;
}

// The same merge through the request entry, with the inputs' flags.
int32_t callRequest(const Release &release, const MergeInputs &in, const std::vector<std::string> &paths,
                    Bytes &base, Bytes &area, ChildReport &report) {
    std::vector<const char *> images = cStrings(in.images), patches = cStrings(in.patches), cus = cStrings(in.cus),
                              e2p = cStrings(in.e2pFiles);
    quorvel_request rq{sizeof rq, in.flags, release.flashInfo.data(), release.flashInfo.size(), images.data(),
                       images.size(), patches.data(), patches.size(), cus.data(), cus.size(), e2p.data(),
                       e2p.size(), base.data(), uint32_t(base.size()), area.data(), uint32_t(area.size()), 0,
                       paths[3].c_str(), -1, nullptr, nullptr, nullptr};
    quorvel_output outputs[3] = {{paths[0].c_str(), 0, 0, 0}, {paths[1].c_str(), 0, 0, 0}, {paths[2].c_str(), 0, 0, 0}};
    int32_t r = quorvel_merge_request(&rq, outputs, report.message, sizeof report.message);
    for (size_t i = 0; i < 3; ++i) {
        report.outputs[i][0] = outputs[i].image_type;
        report.outputs[i][1] = outputs[i].image_address;
        report.outputs[i][2] = outputs[i].image_size;
    }
    return r;
}

} // namespace

ChildReport callMerge(const Release &release, const MergeInputs &in, const std::string &outDir) {
    std::vector<std::string> paths = mergeOutputPaths(outDir);
    qv::MergeOutputs outputs;
    for (int i = 0; i < 3; ++i) outputs[size_t(i)].imagePath = paths[size_t(i)];
    Bytes base = release.e2pBase, area = release.e2pArea;
    std::string message;
    ChildReport report;
    if (in.flags != 0) {
        report.result = callRequest(release, in, paths, base, area, report);
        return report;
    }
    report.result = quorvel(release.flashInfo.data(), &outputs, in.images, in.patches, in.cus, base.data(),
                            uint32_t(base.size()), area.data(), uint32_t(area.size()), in.e2pFiles, 0, 0, message,
                            paths[3], 0);
    for (size_t i = 0; i < 3; ++i) {
        report.outputs[i][0] = outputs[i].imageType;
        report.outputs[i][1] = outputs[i].imageAddress;
        report.outputs[i][2] = outputs[i].imageSize;
    }
    std::strncpy(report.message, message.c_str(), sizeof report.message - 1);
    return report;
}

} // namespace qvbench
