// The host's arguments in the forms the entries take them (C arrays and
// strings, or standard containers), read and written without allocating
// until the call is inside its guard.
#pragma once

#include <quorvel/quorvel.h>

#include "base/log.h"

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// A list of paths: a C array of strings (a NULL element is an empty path)
// or a vector.
class PathList {
public:
    PathList() = default;
    PathList(const char *const *items, size_t count) : items_(items), count_(count) {}
    PathList(const std::vector<std::string> &list) : list_(&list), count_(list.size()) {}
    size_t size() const { return count_; }
    // True when a C array holds entries but is NULL.
    bool missing() const { return !list_ && !items_ && count_ > 0; }
    std::vector<std::string> toVector() const;

private:
    const char *const *items_ = nullptr;
    const std::vector<std::string> *list_ = nullptr;
    size_t count_ = 0;
};

// The three output entries of the host: paths in, type, address, size out.
class OutputSlots {
public:
    explicit OutputSlots(quorvel_output *entries) : c_(entries) {}
    explicit OutputSlots(MergeOutputs *entries) : cpp_(entries) {}
    bool missing() const { return !c_ && !cpp_; }
    MergeOutputs load() const;
    void store(const MergeOutputs &outs) const;

private:
    quorvel_output *c_ = nullptr;
    MergeOutputs *cpp_ = nullptr;
};

// Where a failure message goes: the C entries' buffer (cut to fit, always
// terminated; nothing when NULL or of size 0) or the C++ entry's string.
// Setting it never throws: a string that cannot take the text keeps its own.
class MessageSlot {
public:
    MessageSlot(char *buffer, size_t size) : buffer_(buffer), size_(size) {}
    explicit MessageSlot(std::string *text) : text_(text) {}
    void set(std::string_view text) const noexcept;
    void format(const char *fmt, ...) const noexcept QV_PRINTF_FORMAT(2, 3);

private:
    char *buffer_ = nullptr;
    size_t size_ = 0;
    std::string *text_ = nullptr;
};

} // namespace qv

namespace qv {

// The host's four lists of input files, as the merges take them.
struct HostLists {
    std::vector<std::string> images, patches, cus, e2pFiles;
};

} // namespace qv
