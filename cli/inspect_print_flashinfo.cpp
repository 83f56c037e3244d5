#include "report/format.h"
#include "flash/geometry.h"
#include "cli/inspect_print.h"

#include <cstdio>

namespace qvcli {

void printFlashRecord(const FlashRecord &r, const std::string &path, size_t recordSize) {
    const FlashDesc &d = r.desc;
    std::printf("FlashInfo record: %s (%zu bytes)\n", path.c_str(), recordSize);
    std::printf("  chipId        %s (%u)\n", hex(d.chipId, 4).c_str(), d.chipId);
    std::printf("  chipSubId     %s (%u)\n", hex(d.chipSubId, 4).c_str(), d.chipSubId);
    std::printf("  options       %s (%u)\n", hex(d.options, 4).c_str(), d.options);
    std::printf("  sizeIn64KB    %u (%s bytes)\n", d.sizeIn64KB, hex(qv::flashBytes(d.sizeIn64KB)).c_str());
    std::printf("  regionCount   %u\n", d.regionCount);
    std::printf("  baseAddress   %s\n", hex(d.baseAddress, 8).c_str());
    std::printf("  cusOffset     %s\n", hex(d.cusOffset, 8).c_str());
    std::printf("  versionAddr   %s\n", hex(d.versionAddr, 8).c_str());
    std::printf("  versionAddr1  %s (trace version %u)\n", hex(d.versionAddr1, 8).c_str(), qv::traceVersion(d.versionAddr1));
    std::printf("  memPartCount  %u\n", d.memPartCount);
    std::printf("  flags         %s (%s layout)\n", hex(d.flags, 8).c_str(), d.interleaved() ? "interleaved" : "plain");
    const qv::FlashState flash = r.state();
    std::printf("regions (from bank base %s)\n", hex(qv::flashBankBase(flash), 8).c_str());
    std::printf("  #  sector size  count  start       end\n");
    const std::vector<qv::RegionRange> ranges = qv::regionRanges(flash);
    for (size_t k = 0; k < ranges.size(); ++k)
        std::printf("  %zu  %-11s  %-5u  %s  %s\n", k, hex(ranges[k].sectorSize).c_str(), ranges[k].count,
                    hex(ranges[k].start, 8).c_str(), hex(ranges[k].end, 8).c_str());
    std::printf("flash end       %s\n", hex(qv::flashBankEnd(flash), 8).c_str());
    std::printf("memory parts\n");
    if (d.memParts.empty()) std::printf("  none\n");
    for (size_t i = 0; i < d.memParts.size(); ++i)
        std::printf("  %zu  id %s  didr %s\n", i, hex(d.memParts[i].id, 8).c_str(), hex(d.memParts[i].didr, 4).c_str());
    printProblems(qv::flashRecordProblems(r));
}

Json flashRecordJson(const FlashRecord &r, const std::string &path, size_t recordSize) {
    const FlashDesc &d = r.desc;
    const qv::FlashState flash = r.state();
    Json j = {{"kind", "flashinfo"}, {"file", path}, {"size", recordSize}};
    j["description"] = flashDescToJson(d);
    j["regionCount"] = d.regionCount;
    j["memPartCount"] = d.memPartCount;
    j["flags"] = d.flags;
    j["bankBase"] = qv::flashBankBase(flash);
    j["flashEnd"] = qv::flashBankEnd(flash);
    j["regions"] = Json::array();
    for (const qv::RegionRange &g : qv::regionRanges(flash))
        j["regions"].push_back({{"sectorSize", g.sectorSize}, {"count", g.count}, {"start", g.start}, {"end", g.end}});
    j["problems"] = qv::flashRecordProblems(r);
    return j;
}

void printProblems(const std::vector<std::string> &problems) {
    if (problems.empty()) {
        std::printf("problems: none\n");
        return;
    }
    std::printf("problems: %zu\n", problems.size());
    for (const std::string &p : problems) std::printf("  %s\n", p.c_str());
}

} // namespace qvcli
