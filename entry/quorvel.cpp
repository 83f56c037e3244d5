// The C++ entry: the fifteen arguments of the merge, run by the one merge
// behind every entry.
#include <quorvel/quorvel.h>

#include "entry/merge_call.h"

int32_t quorvel(const void *flashInfo, qv::MergeOutputs *outputs, const std::vector<std::string> &imageFiles,
                const std::vector<std::string> &patchFiles, const std::vector<std::string> &cusFiles,
                uint8_t *e2pBase, uint32_t e2pBaseSize, uint8_t *e2pArea, uint32_t e2pAreaSize,
                const std::vector<std::string> &e2pFiles, int32_t /*reserved1*/, int32_t eraseAll,
                std::string &message, const std::string &logPath, int32_t /*reserved2*/) {
    qv::MergeRequest rq{.flashInfo = flashInfo,
                        .images = imageFiles,
                        .patches = patchFiles,
                        .cus = cusFiles,
                        .e2pFiles = e2pFiles,
                        .e2pBase = e2pBase,
                        .e2pBaseSize = e2pBaseSize,
                        .e2pArea = e2pArea,
                        .e2pAreaSize = e2pAreaSize,
                        .eraseAll = eraseAll,
                        .logPath = logPath,
                        .control = {}};
    return qv::runMerge(rq, qv::OutputSlots(outputs), qv::MessageSlot(&message));
}
