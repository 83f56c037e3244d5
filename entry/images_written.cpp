#include "entry/images_written.h"

#include "base/log.h"
#include "base/results.h"
#include "input/inputs.h"

namespace qv {

std::array<bool, 3> imagesWritten(const HostLists &in) {
    MergeLog noLog;
    SortedInputs sorted;
    sortInputs(noLog, in.images, {}, sorted);
    std::array<bool, 3> written{};
    written[kCodeOutput] = !sorted.codeFiles.empty() || !in.cus.empty();
    written[kE2pOutput] = !in.cus.empty() || !in.e2pFiles.empty();
    written[kRaiOutput] = true;
    return written;
}

const char *imageName(OutputIndex i) {
    static constexpr const char *kNames[] = {"code image", "E2P image", "RAI image"};
    return kNames[i];
}

const char *whyWritten(OutputIndex i) {
    static constexpr const char *kWhy[] = {"the release has a code file or a CUS file",
                                           "the release has a CUS file or an E2P description file",
                                           "every merge does (an empty one when the release has no FAT image)"};
    return kWhy[i];
}

int checkOutputsGiven(const HostLists &in, const MergeOutputs &out, std::string &msg) {
    const std::array<bool, 3> written = imagesWritten(in);
    for (int i : {kCodeOutput, kE2pOutput, kRaiOutput}) {
        if (!written[size_t(i)] || !out[size_t(i)].imagePath.empty()) continue;
        msg = strprintf("no path for the %s, which the merge writes: %s", imageName(OutputIndex(i)),
                        whyWritten(OutputIndex(i)));
        return kErrOutputMissing;
    }
    return 0;
}

} // namespace qv
