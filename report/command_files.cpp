#include "report/command_files.h"

#include "base/cause.h"
#include "base/system.h"

namespace qvcli {

SafeOutput::SafeOutput(const std::string &path, bool sync) : path_(path) {
    files_.begin(true, sync);
    file_ = files_.open(path_, "wb", nullptr);
    if (!file_) throw InputError("cannot create " + path_);
}

void SafeOutput::commit() {
    if (!file_.close()) throw InputError("cannot write " + path_);
    std::string msg;
    if (files_.commit(msg) != 0) throw InputError(msg);
}

void SafeOutput::commit(ByteView data) {
    write(data);
    commit();
}

void writeWholeFile(const std::string &path, ByteView data, bool sync) { SafeOutput(path, sync).commit(data); }

MappedFile::MappedFile(const std::string &path) {
    if (qv::sys::fileStatus(path).kind == qv::sys::FileKind::folder)
        throw InputError(path + " is a folder, not a file");
    if (!file_.map(path)) throw InputError("cannot read " + path, path + ": " + qv::systemReason());
}

} // namespace qvcli
