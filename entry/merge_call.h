// The one merge behind every entry. It refuses outputs that are inputs or
// each other before anything is created, checks the inputs when asked, runs
// the three merges in their fixed order, puts the outputs in place, and
// turns every exception into a result code: nothing escapes to the host.
#pragma once

#include "base/call_control.h"
#include "entry/context.h"
#include "entry/host_args.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

struct MergeRequest {
    const void *flashInfo = nullptr;
    size_t flashInfoSize = 0; // known to the request entry; 0: not known
    PathList images, patches, cus, e2pFiles;
    uint8_t *e2pBase = nullptr;
    uint32_t e2pBaseSize = 0;
    uint8_t *e2pArea = nullptr;
    uint32_t e2pAreaSize = 0;
    int32_t eraseAll = 0;
    std::string_view logPath;
    CallControl control; // the defaults: a plain merge
    const MessageSlot *cause = nullptr; // where the cause of a failure goes; none: nowhere
};

// Returns 0 or a negative result code; on failure `message` receives the
// text and the request's cause slot why, in the user's terms ("" when no
// site explained it). The entries are filled as the merges produce them; with safe
// outputs only when the whole merge succeeded.
// Each call runs on a context of its own, so calls on different threads never
// meet.
int32_t runMerge(const MergeRequest &request, const OutputSlots &outputs, const MessageSlot &message) noexcept;
// The same on a fresh context the caller provides: how a test hands the call
// a file system of its own (MergeContext::io.fs).
int32_t runMerge(MergeContext &ctx, const MergeRequest &request, const OutputSlots &outputs,
                 const MessageSlot &message) noexcept;

} // namespace qv
