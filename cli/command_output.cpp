#include "cli/command_output.h"

#include "report/read_files.h"

namespace qvcli {

CommandOutput::CommandOutput(const std::string &path, bool sync) : path_(path) {
    files_.begin(true, sync);
    file_ = files_.open(path_, "wb", nullptr);
    if (!file_) throw InputError("cannot create " + path_);
}

void CommandOutput::commit() {
    std::string msg;
    if (!file_.close()) throw InputError("cannot write " + path_);
    if (files_.commit(msg) != 0) throw InputError(msg);
}

void writeCommandFile(const std::string &path, const std::string &text, bool sync) {
    CommandOutput out(path, sync);
    out.write(text.data(), text.size());
    out.commit();
}

} // namespace qvcli
