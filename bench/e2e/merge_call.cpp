#include "e2e/merge_call.h"

#include <quorvel/quorvel.h>

#include <cstring>

namespace qvbench {

std::vector<std::string> mergeOutputPaths(const std::string &outDir) {
    return {outDir + "/code.img", outDir + "/e2p.img", outDir + "/rai.img", outDir + "/merge.log"};
}

ChildReport callMerge(const Release &release, const MergeInputs &in, const std::string &outDir) {
    std::vector<std::string> paths = mergeOutputPaths(outDir);
    qv::MergeOutputs outputs;
    for (int i = 0; i < 3; ++i) outputs[size_t(i)].imagePath = paths[size_t(i)];
    Bytes base = release.e2pBase, area = release.e2pArea;
    std::string message;
    ChildReport report;
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
