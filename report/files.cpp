#include "report/files.h"

#include "report/areas.h"
#include "report/digests.h"
#include "input/inputs.h"
#include "base/system.h"


namespace qvcli {
namespace {

InputFile input(const std::string &kind, const std::string &path, bool used, const std::string &usedFor) {
    return InputFile{kind, fileFacts(path, false), used, usedFor};
}

std::string raiUse(const std::string &path) {
    if (qv::is_wpb_file(path)) return "RAI image: the file-system stream of a compressed input";
    qv::File f(path, "rb");
    const int kind = f ? qv::file_kind_byte(f) : -1;
    return kind == qv::kKindUserFat ? "RAI image: user FAT sectors" : "RAI image: hidden FAT sectors";
}

// Code files and RAI inputs, in the order given, as the merge sorts them.
void addImages(const MergeArgs &a, const qv::SortedInputs &s, std::vector<InputFile> &out) {
    size_t code = 0;
    for (const std::string &p : a.images) {
        if (code < s.codeFiles.size() && s.codeFiles[code] == p) {
            if (code++ == 0)
                out.push_back(input("code", p, true, "code section of the code image"));
            else
                out.push_back(input("code", p, false, "not used: only the first code file is read"));
        } else {
            out.push_back(input("rai", p, true, raiUse(p)));
        }
    }
}

// DSP patch and MCP files: the first DSP file and the last MCP file go into
// the CUS area, which only CUS files bring about.
void addPatches(const MergeArgs &a, const qv::SortedInputs &s, std::vector<InputFile> &out) {
    const bool area = !a.cus.empty();
    const std::string noArea = "not used: no CUS files, so no CUS area";
    // The MCP file the sort kept is the last one given.
    size_t dsp = 0, lastMcp = a.patches.size();
    for (size_t i = 0; i < a.patches.size(); ++i)
        if (!s.mcpPath.empty() && a.patches[i] == s.mcpPath) lastMcp = i;
    for (size_t i = 0; i < a.patches.size(); ++i) {
        const std::string &p = a.patches[i];
        if (dsp < s.dspFiles.size() && s.dspFiles[dsp] == p) {
            const bool first = dsp++ == 0;
            out.push_back(input("dsp", p, first && area,
                                !first ? "not used: only the first DSP patch file is read"
                                       : area ? "DSP patch record of the CUS area" : noArea));
        } else if (qv::is_mcp_file(p)) {
            const bool last = i == lastMcp;
            out.push_back(input("mcp", p, last && area,
                                !last ? "not used: a later MCP file replaces it"
                                      : area ? "MCP record of the CUS area" : noArea));
        } else {
            out.push_back(input("patch", p, false,
                                "not used: neither a DSP patch file (.pat, kind byte 6) nor an MCP file (kind byte 25)"));
        }
    }
}

void addE2p(const MergeArgs &a, std::vector<InputFile> &out) {
    for (const std::string &p : a.e2pFiles) out.push_back(input("e2p", p, true, "E2P description, loaded into the E2P image"));
    const std::string erased = "not used: the merge starts from an erased ";
    out.push_back(input("e2p base", a.e2pBase, !a.eraseAll,
                        a.eraseAll ? erased + "base (erase all)" : "E2P base image, against which the journal is built"));
    out.push_back(input("e2p area", a.e2pArea, !a.eraseAll,
                        a.eraseAll ? erased + "journal area (erase all)" : "E2P journal area, replayed onto the base first"));
}

std::string outputNote(const ReleaseModel &m, const OutputFile &o, size_t i) {
    static constexpr const char *kMergeNames[] = {"merge_code_cus: ", "mergeE2P: ", "mergeRAI: "};
    if (o.file.path.empty()) return "not asked for";
    if (earlierFilesKept(m))
        return o.file.exists ? "unchanged by the failed merge: the file from before it" : "not written: the merge failed";
    const bool failedHere = m.merge && m.merge->result != 0 && m.merge->message.starts_with(kMergeNames[i]);
    if (failedHere && o.file.exists)
        return "the merge failed while writing it: the file holds the " + std::to_string(o.file.size) +
               " bytes written before the failure";
    if (o.produced) return "";
    if (!o.file.exists) return "not produced: no file";
    return m.merge ? "not produced: the file holds " + std::to_string(o.file.size) + " bytes from an earlier run"
                   : "";
}

// Where an output belongs by the readers: the code image where its first
// byte lies, up to its last CUS record; the E2P image at the E2P partition;
// the RAI image at the RAI area, whose length the entry gives (the
// interleaved image file is twice as long).
void placeByReaders(const ReleaseModel &m, OutputFile &o, size_t i) {
    static constexpr uint32_t kTypes[] = {QUORVEL_TYPE_CODE, QUORVEL_TYPE_E2P, QUORVEL_TYPE_RAI};
    o.type = kTypes[i];
    o.size = uint32_t(o.file.size);
    if (i == 0 && m.code) {
        o.flashAddress = m.codeAddress;
        o.size = uint32_t(codeImageBytes(*m.code));
    }
    if (i == 1 && m.map) o.flashAddress = m.map->eepromBase;
    if (i == 2 && m.map) {
        o.flashAddress = m.map->raiBase;
        o.size = m.map->raiLength;
    }
}

} // namespace

std::string fileName(const std::string &path) { return qv::sys::utf8Path(qv::sys::fsPath(path).filename()); }

FileFacts fileFacts(const std::string &path, bool digest) {
    FileFacts f;
    f.path = path;
    const qv::sys::FileStatus st = qv::sys::fileStatus(path);
    f.exists = st.kind == qv::sys::FileKind::regular;
    if (!f.exists) return f;
    f.size = st.size;
    if (digest) f.sha256 = sha256OfFile(path).value_or("");
    return f;
}

FileFacts fileFacts(const std::string &path, ByteView content, bool digest) {
    return FileFacts{path, true, content.size(), digest ? sha256Hex(content.data(), content.size()) : ""};
}

void describeOutputs(ReleaseModel &m, const MergeArgs &a) {
    const std::string paths[] = {a.outCode, a.outE2p, a.outRai};
    const uint32_t base = m.flash ? m.flash->desc.baseAddress : 0;
    for (size_t i = 0; i < 3; ++i) {
        OutputFile &o = m.outputs[i];
        if (o.file.path.empty()) o.file = fileFacts(paths[i]);
        placeByReaders(m, o, i);
        o.produced = !paths[i].empty() && o.file.exists;
        if (m.merge && !earlierFilesKept(m)) {
            const qv::OutputImage &e = m.merge->outputs[i];
            o.produced = e.imageType == o.type;
            o.size = o.produced ? e.imageSize : o.size;
            // The E2P entry gets its address only when the whole merge succeeds.
            if (o.produced && (i != 1 || m.merge->result == 0)) o.flashAddress = (i == 0 ? base : 0) + e.imageAddress;
        }
        o.note = outputNote(m, o, i);
    }
}

std::vector<InputFile> describeInputs(const MergeArgs &a, bool digests) {
    std::vector<InputFile> out;
    if (!a.flashInfoPath.empty()) out.push_back(input("flash info", a.flashInfoPath, true, "flash description"));
    qv::SortedInputs sorted;
    qv::MergeLog noLog; // never opened: sorting here logs nothing
    qv::sortInputs(noLog, a.images, a.patches, sorted);
    addImages(a, sorted, out);
    addPatches(a, sorted, out);
    for (size_t i = 0; i < a.cus.size(); ++i)
        out.push_back(input("cus", a.cus[i], true, "CUS record " + std::to_string(i + 1) + " of the CUS area"));
    addE2p(a, out);
    if (digests)
        for (InputFile &f : out)
            if (f.file.exists) f.file.sha256 = sha256OfFile(f.file.path).value_or("");
    return out;
}

} // namespace qvcli
