#include "cli/format.h"
#include "cli/geometry.h"
#include "cli/report.h"

#include <cstdio>

namespace qvcli {

std::vector<std::string> flashDescProblems(const FlashDesc &d) {
    std::vector<std::string> out;
    if (d.regionCount < 1 || d.regionCount > kMaxRegions)
        out.push_back("regionCount " + std::to_string(d.regionCount) + " is outside 1 to 4");
    for (size_t k = 0; k < d.regions.size(); ++k)
        if (d.regions[k].shift >= 32)
            out.push_back("region " + std::to_string(k) + " has a sector shift of " +
                          std::to_string(d.regions[k].shift));
    if (d.sizeIn64KB == 0) out.push_back("sizeIn64KB is 0");
    Geometry g(d);
    if (g.valid() && !g.regions().empty() && g.regions().back().end != g.flashEnd())
        out.push_back("the regions end at " + hex(g.regions().back().end) + ", the flash at " + hex(g.flashEnd()));
    return out;
}

void printFlashDesc(const FlashDesc &d, const std::string &path, size_t recordSize) {
    std::printf("FlashInfo record: %s (%zu bytes)\n", path.c_str(), recordSize);
    std::printf("  chipId        %s (%u)\n", hex(d.chipId, 4).c_str(), d.chipId);
    std::printf("  chipSubId     %s (%u)\n", hex(d.chipSubId, 4).c_str(), d.chipSubId);
    std::printf("  options       %s (%u)\n", hex(d.options, 4).c_str(), d.options);
    std::printf("  sizeIn64KB    %u (%s bytes)\n", d.sizeIn64KB, hex(uint64_t(d.sizeIn64KB) << 16).c_str());
    std::printf("  regionCount   %u\n", d.regionCount);
    std::printf("  baseAddress   %s\n", hex(d.baseAddress, 8).c_str());
    std::printf("  cusOffset     %s\n", hex(d.cusOffset, 8).c_str());
    std::printf("  versionAddr   %s\n", hex(d.versionAddr, 8).c_str());
    std::printf("  versionAddr1  %s (trace version %u)\n", hex(d.versionAddr1, 8).c_str(), d.versionAddr1 >> 24);
    std::printf("  memPartCount  %u\n", d.memPartCount);
    std::printf("  flags         %s (%s layout)\n", hex(d.flags, 8).c_str(), d.interleaved() ? "interleaved" : "plain");
    Geometry g(d);
    std::printf("regions (from bank base %s)\n", hex(g.bankBase(), 8).c_str());
    std::printf("  #  sector size  count  start       end\n");
    const std::vector<RegionRange> ranges = g.regions();
    for (size_t k = 0; k < ranges.size(); ++k)
        std::printf("  %zu  %-11s  %-5u  %s  %s\n", k, hex(ranges[k].sectorSize).c_str(), ranges[k].count,
                    hex(ranges[k].start, 8).c_str(), hex(ranges[k].end, 8).c_str());
    std::printf("flash end       %s\n", hex(g.flashEnd(), 8).c_str());
    std::printf("memory parts\n");
    if (d.memParts.empty()) std::printf("  none\n");
    for (size_t i = 0; i < d.memParts.size(); ++i)
        std::printf("  %zu  id %s  didr %s\n", i, hex(d.memParts[i].id, 8).c_str(), hex(d.memParts[i].didr, 4).c_str());
    printProblems(flashDescProblems(d));
}

Json flashDescReportJson(const FlashDesc &d, const std::string &path, size_t recordSize) {
    Geometry g(d);
    Json j = {{"kind", "flashinfo"}, {"file", path}, {"size", recordSize}};
    j["description"] = flashDescToJson(d);
    j["regionCount"] = d.regionCount;
    j["memPartCount"] = d.memPartCount;
    j["flags"] = d.flags;
    j["bankBase"] = g.bankBase();
    j["flashEnd"] = g.flashEnd();
    j["regions"] = Json::array();
    for (const RegionRange &r : g.regions())
        j["regions"].push_back({{"sectorSize", r.sectorSize}, {"count", r.count}, {"start", r.start}, {"end", r.end}});
    j["problems"] = flashDescProblems(d);
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
