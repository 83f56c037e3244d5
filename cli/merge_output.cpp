#include "cli/merge_output.h"

#include "cli/errors.h"
#include "report/format.h"
#include "cli/json_fields.h"

#include <cstdio>

namespace qvcli {
namespace {

const char *outputName(size_t i) {
    static constexpr const char *kNames[] = {"code", "e2p", "rai"};
    return kNames[i];
}

// Why a merge that succeeded left an image out: the inputs that make one
// were not in the release.
const char *notProduced(size_t i) {
    static constexpr const char *kWhy[] = {"(not produced: no code file and no CUS file)",
                                           "(not produced: no CUS file and no E2P description file)",
                                           "(not produced: no FAT image; the file is empty)"};
    return kWhy[i];
}

bool produced(const qv::OutputImage &o) {
    return o.imageType == QUORVEL_TYPE_CODE || o.imageType == QUORVEL_TYPE_E2P || o.imageType == QUORVEL_TYPE_RAI;
}

// The code image reports an offset from the flash base; the others report
// flash addresses.
uint32_t flashAddress(const qv::OutputImage &o, uint32_t baseAddress) {
    return o.imageType == QUORVEL_TYPE_CODE ? baseAddress + o.imageAddress : o.imageAddress;
}

void printJson(const qv::MergeOutputs &outs, uint32_t baseAddress, double seconds) {
    Json j = {{"result", 0}, {"seconds", seconds}};
    j["outputs"] = Json::array();
    for (size_t i = 0; i < outs.size(); ++i) {
        const qv::OutputImage &o = outs[i];
        j["outputs"].push_back({{"image", outputName(i)},
                                {"produced", produced(o)},
                                {"type", o.imageType},
                                {"address", o.imageAddress},
                                {"flashAddress", flashAddress(o, baseAddress)},
                                {"size", o.imageSize},
                                {"path", o.imagePath}});
    }
    std::printf("%s\n", dumpJson(j).c_str());
}

} // namespace

void printMergeOutputs(const qv::MergeOutputs &outs, uint32_t baseAddress, double seconds, bool json) {
    if (json) {
        printJson(outs, baseAddress, seconds);
        return;
    }
    std::printf("%-5s %-10s %-13s %-10s %s\n", "image", "type", "flash address", "size", "file");
    for (size_t i = 0; i < outs.size(); ++i) {
        const qv::OutputImage &o = outs[i];
        if (!produced(o)) {
            std::printf("%-5s %-10s %-13s %-10s %s%s%s\n", outputName(i), "-", "-", "-", o.imagePath.c_str(),
                        o.imagePath.empty() ? "" : " ", notProduced(i));
            continue;
        }
        std::printf("%-5s %-10s %-13s %-10u %s\n", outputName(i), hex(o.imageType, 7).c_str(),
                    hex(flashAddress(o, baseAddress), 8).c_str(), o.imageSize, o.imagePath.c_str());
    }
    std::printf("merged in %.3f s\n", seconds);
}

void reportMergeFailure(int32_t code, const std::string &message, const std::string &cause, bool json) {
    std::fprintf(stderr, "error %d: %s\n", code, message.c_str());
    printCause(cause);
    if (json) printJsonError(code, message, cause);
}

} // namespace qvcli
