#include "report/format.h"
#include "cli/inspect_print.h"
#include "codeimage/cus_area.h"

#include <cstdio>

namespace qvcli {
namespace {

void printCodeSection(const CodeImageContents &img) {
    std::printf("  code section     %llu bytes at 0x0, XOR of its words %s\n",
                static_cast<unsigned long long>(img.codeLength), hex(img.codeXor, 8).c_str());
    if (img.versionAddr1)
        std::printf("  version words    versionAddr1 %s (trace version %u)%s\n", hex(*img.versionAddr1, 8).c_str(),
                    qv::traceVersion(*img.versionAddr1),
                    img.versionAddr ? (", versionAddr " + hex(*img.versionAddr, 8)).c_str() : "");
}

void printClosing(const CodeImageContents &img) {
    if (img.sizeDate)
        std::printf("  size and date    \"%s\" at %s\n", img.sizeDate->c_str(), hex(img.sizeDateOffset).c_str());
    else if (img.endMarker)
        std::printf("  size and date    none (a compressed code file)\n");
    if (img.storedChecksum)
        std::printf("  checksum         %s stored, %s computed: %s\n", hex(*img.storedChecksum, 8).c_str(),
                    hex(img.computedChecksum, 8).c_str(), img.checksumMatches() ? "matches" : "MISMATCH");
    if (img.endMarker)
        std::printf("  end marker       %s at %s\n", hex(*img.endMarker, 8).c_str(), hex(img.endMarkerOffset).c_str());
    if (img.alignFill) std::printf("  alignment fill   %llu bytes of 0xFF\n", static_cast<unsigned long long>(img.alignFill));
}

void printRecords(const CodeImageContents &img) {
    std::printf("  offset      link        length   ident        kind\n");
    for (const CusRecord &r : img.records) {
        std::string kind = cusRecordKind(r.ident);
        if (!r.chunks.empty()) kind += strprintf(", %zu chunks", r.chunks.size() + 1);
        std::printf("  %s  %s  %-7u  %-11s  %s\n", hex(r.offset, 8).c_str(), hex(r.linkWord, 8).c_str(), r.length,
                    identText(r.ident.data()).c_str(), kind.c_str());
        if (!r.chunks.empty()) std::printf("      first chunk %u bytes\n", r.firstChunk);
        for (const CusChunk &c : r.chunks)
            std::printf("      chunk at %s  link %s  length %u  ident %s\n", hex(c.offset, 8).c_str(),
                        hex(c.linkWord, 8).c_str(), c.length, identText(c.ident.data()).c_str());
    }
}

Json identJson(const CusIdent &id) { return identText(id.data()); }

} // namespace

void printCodeImage(const CodeImageContents &img, const std::string &path) {
    std::printf("code image: %s (%llu bytes)\n", path.c_str(), static_cast<unsigned long long>(img.fileSize));
    if (!img.cusOnly) printCodeSection(img);
    if (!img.hasCusArea) {
        printClosing(img);
        std::printf(img.endMarker ? "CUS area: missing (the image ends with the code section's closing)\n"
                                  : "CUS area: none (the image is the code section alone)\n");
        printProblems(img.problems);
        return;
    }
    printClosing(img);
    std::printf("CUS area at %s (\"CUSF\", CUS position %s)%s\n", hex(img.cusfOffset).c_str(), hex(img.cusPos).c_str(),
                img.cusOnly ? ", no code section" : "");
    printRecords(img);
    if (img.brokenAt) std::printf("  broken chain at %s\n", hex(*img.brokenAt).c_str());
    std::printf("  records end at %s: CUS length %llu bytes (%llu x 4 KiB)\n", hex(img.recordsEnd).c_str(),
                static_cast<unsigned long long>(img.cusLength()),
                static_cast<unsigned long long>(qv::cusSizeIn4K(img.cusLength())));
    if (img.hasMcus)
        std::printf("  closing fill     %llu bytes of 0xFF, then \"MCUS\"\n",
                    static_cast<unsigned long long>(img.closingFill));
    else
        std::printf("  closing fill     none\n");
    printProblems(img.problems);
}

Json codeImageJson(const CodeImageContents &img, const std::string &path) {
    Json j = {{"kind", "code"}, {"file", path}, {"size", img.fileSize}};
    j["codeLength"] = img.codeLength;
    j["codeXor"] = img.codeXor;
    if (img.versionAddr) j["versionAddr"] = *img.versionAddr;
    if (img.versionAddr1) j["versionAddr1"] = *img.versionAddr1;
    j["hasCusArea"] = img.hasCusArea;
    j["cusOnly"] = img.cusOnly;
    if (img.sizeDate) j["sizeDate"] = *img.sizeDate;
    if (img.storedChecksum) j["storedChecksum"] = *img.storedChecksum;
    j["computedChecksum"] = img.computedChecksum;
    j["checksumMatches"] = img.checksumMatches();
    if (img.endMarker) j["endMarker"] = *img.endMarker;
    if (img.endMarker) j["endMarkerOffset"] = img.endMarkerOffset;
    j["alignFill"] = img.alignFill;
    if (img.hasCusArea) {
        j["cusfOffset"] = img.cusfOffset;
        j["cusPos"] = img.cusPos;
        j["recordsEnd"] = img.recordsEnd;
        j["cusLength"] = img.cusLength();
        j["closingFill"] = img.closingFill;
        j["mcus"] = img.hasMcus;
    }
    j["records"] = Json::array();
    for (const CusRecord &r : img.records) {
        Json jr = {{"offset", r.offset}, {"linkWord", r.linkWord}, {"length", r.length},
                   {"ident", identJson(r.ident)}, {"kind", cusRecordKind(r.ident)}};
        jr["chunks"] = Json::array();
        if (!r.chunks.empty()) jr["firstChunk"] = r.firstChunk;
        for (const CusChunk &c : r.chunks)
            jr["chunks"].push_back(
                {{"offset", c.offset}, {"linkWord", c.linkWord}, {"length", c.length}, {"ident", identJson(c.ident)}});
        j["records"].push_back(jr);
    }
    if (img.brokenAt) j["brokenAt"] = *img.brokenAt;
    j["problems"] = img.problems;
    return j;
}

} // namespace qvcli
