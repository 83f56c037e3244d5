// Every reader call of the release report: the same readers `inspect` uses,
// each fed the release's own files; a file that cannot be read becomes a
// problem on the page instead of an error.
#include "e2p/image_reader.h"
#include "report/files.h"
#include "report/model.h"
#include "base/system.h"

#include <functional>
#include <future>
#include <utility>

namespace qvcli {
namespace {

constexpr size_t kLogLinesKept = 4000; // first and last half of a longer log

// Runs one reading step; its failure is noted as a problem of `what`.
void attempt(ReleaseModel &m, const std::string &what, const std::function<void()> &step) {
    try {
        step();
    } catch (const std::exception &e) {
        m.problems.push_back(what + ": " + e.what());
    }
}

void addProblems(ReleaseModel &m, const std::string &what, const std::vector<std::string> &problems) {
    for (const std::string &p : problems) m.problems.push_back(what + ": " + p);
}

std::optional<Bytes> readIfThere(const std::string &path) {
    if (path.empty() || qv::sys::fileStatus(path).kind != qv::sys::FileKind::regular) return std::nullopt;
    return readWholeFile(path, kImageBound);
}

void readFlash(ReleaseModel &m, const FlashSource &source) {
    attempt(m, "flash description", [&] {
        if (!source.record) throw InputError(source.problem);
        m.flash = source.record;
        const qv::FlashState flash = m.flash->state();
        m.regions = qv::regionRanges(flash);
        m.bankBase = qv::flashBankBase(flash);
        m.flashEnd = qv::flashBankEnd(flash);
        addProblems(m, "flash description", qv::flashRecordProblems(*m.flash));
    });
}

void readCode(ReleaseModel &m, const MergeArgs &a, bool digests) {
    attempt(m, "code image", [&] {
        if (a.outCode.empty() || qv::sys::fileStatus(a.outCode).kind != qv::sys::FileKind::regular) return;
        const MappedFile image(a.outCode); // hundreds of megabytes: read in place
        m.code = qv::readCodeImage(image.bytes());
        m.outputs[0].file = fileFacts(a.outCode, image.bytes(), digests);
        const uint32_t offset = m.code->cusOnly ? m.code->cusPos : 0;
        m.codeAddress = (m.flash ? m.flash->desc.baseAddress : 0) + offset;
        addProblems(m, "code image", m.code->problems);
    });
}

void readE2p(ReleaseModel &m, const MergeArgs &a, Bytes &area) {
    attempt(m, "E2P image", [&] {
        const auto image = readIfThere(a.outE2p);
        Bytes base = readWholeFile(a.e2pBase, kE2pBound);
        if (a.eraseAll) base.assign(base.size(), 0xFF);
        const bool interleaved = m.flash && m.flash->desc.interleaved();
        const Bytes *content = nullptr;
        if (image) {
            qv::E2pImageReader reader(*image, qv::layoutOnly(interleaved));
            m.journal = qv::readE2pJournal(reader.e2p);
            m.params = qv::readE2pImageParams(reader.e2p, base, a.e2pFiles);
            m.changed = m.params->replay.changed;
            content = &m.params->replay.content;
            addProblems(m, "E2P image", m.journal->problems);
            addProblems(m, "E2P parameters", m.params->table.problems);
        }
        // A merge leaves the merged content in its buffer once its E2P step
        // is through: when it succeeded or failed in the RAI step after it.
        // Without a merge (or after one that left the earlier files), the
        // merged area written earlier is read back, or else the base with
        // the E2P image's journal replayed.
        const bool ran = m.merge && !earlierFilesKept(m);
        if (ran && (m.merge->result == 0 || m.merge->message.starts_with("mergeRAI: "))) area = m.merge->mergedArea;
        else if (content && !ran) area = readIfThere(a.e2pAreaOut).value_or(*content);
    });
}

void readRai(ReleaseModel &m, const MergeArgs &a, const Bytes &area, bool digests) {
    if (!m.flash || area.empty()) return;
    attempt(m, "partition map", [&] {
        const bool fromCode = m.code && m.code->versionAddr1;
        PartitionMap map;
        if (auto why = qv::partitionMapOf(*m.flash, area, fromCode ? *m.code->versionAddr1 : m.flash->desc.versionAddr1, map))
            throw InputError(*why);
        m.map = map;
    });
    attempt(m, "RAI image", [&] {
        if (!m.map || a.outRai.empty() || qv::sys::fileStatus(a.outRai).kind != qv::sys::FileKind::regular) return;
        const MappedFile image(a.outRai); // tens of megabytes: read in place
        RaiAreaLayout layout;
        if (auto why = qv::raiAreaAt(m.flash->state(), *m.map, m.map->raiBase, layout)) throw InputError(*why);
        m.rai.emplace();
        if (auto why = qv::readRaiStore(image.bytes(), layout, *m.rai)) {
            m.rai.reset();
            throw InputError(*why);
        }
        m.outputs[2].file = fileFacts(a.outRai, image.bytes(), digests);
        addProblems(m, "RAI image", m.rai->problems);
    });
}

void readLog(ReleaseModel &m, const MergeArgs &a) {
    attempt(m, "merge log", [&] {
        const auto bytes = readIfThere(a.log);
        if (!bytes) return;
        std::vector<std::string> lines;
        std::string line;
        for (uint8_t c : *bytes) {
            if (c != '\n') line += char(c);
            else lines.push_back(std::exchange(line, {}));
        }
        if (!line.empty()) lines.push_back(line);
        const size_t half = kLogLinesKept / 2;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines.size() > kLogLinesKept && i == half) {
                m.logLinesLeftOut = lines.size() - kLogLinesKept;
                i += m.logLinesLeftOut - 1;
                continue;
            }
            m.log += lines[i] + "\n";
        }
    });
}

} // namespace

ReleaseModel gatherRelease(const MergeArgs &a, const std::string &source, const FlashSource &flash,
                           std::optional<MergeRun> run, bool digests) {
    ReleaseModel m;
    m.source = source;
    m.record = a.record;
    m.merge = std::move(run);
    m.outputs.resize(3);
    m.outputs[0].image = "code";
    m.outputs[1].image = "e2p";
    m.outputs[2].image = "rai";
    // The inputs are hashed on a second thread while the outputs are read:
    // both are hundreds of megabytes for a large flash.
    auto inputs = std::async(std::launch::async, describeInputs, std::cref(a), digests);
    Bytes area;
    readFlash(m, flash);
    readCode(m, a, digests);
    readE2p(m, a, area);
    readRai(m, a, area, digests);
    readLog(m, a);
    m.inputs = inputs.get();
    if (!source.empty()) m.inputs.insert(m.inputs.begin(), InputFile{"manifest", fileFacts(source, digests), true, "names the inputs and outputs"});
    describeOutputs(m, a);
    return m;
}

} // namespace qvcli
