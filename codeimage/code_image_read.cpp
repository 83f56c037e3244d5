#include "codeimage/code_image_read.h"

#include "base/bytes.h"
#include "base/text_format.h"
#include "codeimage/ad_write.h"
#include "codeimage/cus_area.h"
#include "codeimage/gen_code.h"
#include "codeimage/gen_cus.h"
#include "codeimage/gen_mcp.h"
#include "codeimage/gen_patch.h"
#include "codeimage/size_date.h"
#include "codeimage/version_words.h"

#include <cctype>
#include <cstring>

namespace qv {
namespace {

using ByteView = std::span<const uint8_t>;

// The version words' offsets in the code section (the code file's header is
// not copied into the image).
constexpr uint64_t kSectionVersionAddr1At = kVersionAddr1At - kCodeHeaderSize;
constexpr uint64_t kSectionVersionAddrAt = kVersionAddrAt - kCodeHeaderSize;

uint32_t wordAt(ByteView b, uint64_t at) { return le32(&b[size_t(at)]); }

bool tagAt(ByteView b, uint64_t at, uint32_t tag) { return at + 4 <= b.size() && wordAt(b, at) == tag; }

CusIdent identAt(ByteView b, uint64_t at) {
    CusIdent id;
    std::memcpy(id.data(), &b[size_t(at)], 4);
    return id;
}

// The size-and-date record: the size in decimal, a blank, six date digits, a
// blank, "hh:mm", blanks to 27 characters, a zero byte.
bool isSizeDate(const uint8_t *p) {
    if (p[27] != 0) return false;
    size_t k = p[0] == '-' ? 1 : 0;
    const size_t digits = k;
    while (k < 12 && p[k] >= '0' && p[k] <= '9') ++k;
    if (k == digits || k > 11 || k + 13 > 27 || p[k] != ' ') return false;
    for (size_t i = 1; i <= 6; ++i)
        if (p[k + i] < '0' || p[k + i] > '9') return false;
    const uint8_t *t = p + k + 7;
    const bool timeOk = t[0] == ' ' && std::isdigit(t[1]) && std::isdigit(t[2]) && t[3] == ':' &&
                        std::isdigit(t[4]) && std::isdigit(t[5]);
    if (!timeOk) return false;
    for (size_t i = k + 13; i < 27; ++i)
        if (p[i] != ' ') return false;
    return true;
}

// Marker offset before a "CUSF" at `cusf`: the marker holds no 0xFF byte, so
// the run of 0xFF bytes before "CUSF" is the alignment fill (less than 1 KB).
std::optional<uint64_t> markerBefore(ByteView b, uint64_t cusf) {
    uint64_t at = cusf;
    while (at > 0 && b[size_t(at - 1)] == 0xFF && cusf - at < kInterleavedAlign - 1) --at;
    if (at >= 4 && (wordAt(b, at - 4) == kCodeEndMarker || wordAt(b, at - 4) == kCodeEndMarkerNew)) return at - 4;
    return std::nullopt;
}

// Offset of "CUSF" followed by the word (its own offset + 4); the first one
// with a code end marker before it wins.
std::optional<uint64_t> findCusf(ByteView b) {
    if (b.size() >= 8 && tagAt(b, 0, kCusfTag)) return 0;
    std::optional<uint64_t> first;
    for (uint64_t at = 4; at + 8 <= b.size(); ++at) {
        // Straight to the next 'C': a code section is hundreds of megabytes.
        const void *c = std::memchr(&b[size_t(at)], 'C', size_t(b.size() - 7 - at));
        if (!c) break;
        at = uint64_t(static_cast<const uint8_t *>(c) - b.data());
        if (!tagAt(b, at, kCusfTag) || wordAt(b, at + 4) != at + 4) continue;
        if (markerBefore(b, at)) return at;
        if (!first) first = at;
    }
    return first;
}

void readCodeSection(ByteView b, CodeImageContents &img) {
    img.codeXor = xor_words(0, b.data(), uint32_t(img.codeLength / 4));
    if (img.codeLength >= kSectionVersionAddr1At + 4) img.versionAddr1 = wordAt(b, kSectionVersionAddr1At);
    if (img.codeLength >= kSectionVersionAddrAt + 4) img.versionAddr = wordAt(b, kSectionVersionAddrAt);
}

// The code section's closing: size-and-date record, checksum, end marker,
// alignment fill. Without them the CUS area has no code section before it.
void readClosing(ByteView b, CodeImageContents &img) {
    auto marker = markerBefore(b, img.cusfOffset);
    if (!marker) {
        img.problems.push_back("no code end marker before \"CUSF\" at " + hex(img.cusfOffset));
        img.codeLength = img.cusfOffset;
        return;
    }
    img.endMarkerOffset = *marker;
    img.endMarker = wordAt(b, *marker);
    img.alignFill = img.cusfOffset - *marker - 4;
    if (*marker >= kSizeDateLength + 4 && isSizeDate(&b[size_t(*marker - 4 - kSizeDateLength)])) {
        img.sizeDateOffset = *marker - 4 - kSizeDateLength;
        img.sizeDate = std::string(reinterpret_cast<const char *>(&b[size_t(img.sizeDateOffset)]), 27);
        img.storedChecksum = wordAt(b, *marker - 4);
        img.codeLength = img.sizeDateOffset;
    } else {
        img.codeLength = *marker; // a compressed code file: neither record nor checksum
    }
    readCodeSection(b, img);
    img.computedChecksum = img.codeXor;
    if (img.sizeDate)
        img.computedChecksum = xor_words(img.computedChecksum, &b[size_t(img.sizeDateOffset)], kSizeDateLength / 4);
    if (img.storedChecksum && !img.checksumMatches())
        img.problems.push_back("checksum " + hex(*img.storedChecksum, 8) + " stored, " +
                               hex(img.computedChecksum, 8) + " computed");
}

// A code section closed by its size-and-date record, checksum and end marker
// (and the alignment fill) with nothing after them: the merge writes these
// only before a CUS area, so the image was cut before it.
bool cutBeforeCusArea(ByteView b) {
    auto marker = markerBefore(b, b.size());
    return marker && *marker >= kSizeDateLength + 4 && isSizeDate(&b[size_t(*marker - 4 - kSizeDateLength)]);
}

// Chunk headers inside a multi-chunk record's data.
bool readChunks(ByteView b, CusRecord &r, CodeImageContents &img) {
    const uint64_t dataEnd = r.offset + kRecordHeaderSize + r.length;
    uint64_t at = r.offset + kRecordHeaderSize + r.firstChunk;
    while (at < dataEnd) {
        if (at + kChunkHeaderSize > dataEnd || wordAt(b, at + 12) != kRecordTail) {
            img.brokenAt = at;
            img.problems.push_back("broken chunk header at " + hex(at) + " in the record at " + hex(r.offset));
            return false;
        }
        CusChunk c{at, wordAt(b, at), wordAt(b, at + 8), identAt(b, at + 4)};
        if (c.linkWord != uint64_t(c.length) + kChunkHeaderSize || at + kChunkHeaderSize + c.length > dataEnd) {
            img.brokenAt = at;
            img.problems.push_back("chunk at " + hex(at) + " does not fit the record at " + hex(r.offset));
            return false;
        }
        r.chunks.push_back(c);
        at += kChunkHeaderSize + c.length;
    }
    return true;
}

// One record at `at`; false (with the break noted) when none is there.
bool readRecord(ByteView b, uint64_t at, CodeImageContents &img) {
    if (at + kRecordHeaderSize > b.size() || wordAt(b, at + 12) != kRecordTail) {
        img.brokenAt = at;
        img.problems.push_back("broken chain at " + hex(at) + ": no record header");
        return false;
    }
    CusRecord r;
    r.offset = at;
    r.linkWord = wordAt(b, at);
    r.length = wordAt(b, at + 4);
    r.ident = identAt(b, at + 8);
    const uint64_t padded = (uint64_t(r.length) + 3) & ~uint64_t(3);
    r.next = at + kRecordHeaderSize + padded;
    if (r.next > b.size()) {
        img.brokenAt = at;
        img.problems.push_back("broken chain at " + hex(at) + ": the record runs past the end of the file");
        return false;
    }
    if (r.linkWord != padded + kRecordHeaderSize) {
        if (r.linkWord < kRecordHeaderSize || r.linkWord - kRecordHeaderSize > r.length) {
            img.brokenAt = at;
            img.problems.push_back("broken chain at " + hex(at) + ": link word " + hex(r.linkWord) +
                                   " points outside the record");
            return false;
        }
        r.firstChunk = r.linkWord - kRecordHeaderSize;
        if (!readChunks(b, r, img)) return false;
    }
    img.records.push_back(r);
    return true;
}

// After the records: nothing, or a closing fill of 0xFF bytes and "MCUS".
void readClosingFill(ByteView b, CodeImageContents &img) {
    const uint64_t at = img.recordsEnd;
    if (at == b.size()) return;
    uint64_t fillEnd = at;
    while (fillEnd < b.size() && b[size_t(fillEnd)] == 0xFF) ++fillEnd;
    if (fillEnd + 4 == b.size() && tagAt(b, fillEnd, kMcusTag)) {
        img.closingFill = fillEnd - at;
        img.hasMcus = true;
        if ((img.cusLength() + 4 + img.closingFill) % kCusBlock != 0)
            img.problems.push_back("the closing fill does not end the CUS area on a 4 KB boundary");
        return;
    }
    if (fillEnd == b.size())
        img.problems.push_back("the closing fill at " + hex(at) + " has no \"MCUS\" after it");
    else
        img.problems.push_back("unexpected bytes after the last record at " + hex(at));
}

// True when only 0xFF bytes, with or without "MCUS" after them, follow `at`.
bool onlyFillFollows(ByteView b, uint64_t at) {
    while (at < b.size() && b[size_t(at)] == 0xFF) ++at;
    return at == b.size() || (at + 4 == b.size() && tagAt(b, at, kMcusTag));
}

void readRecords(ByteView b, CodeImageContents &img) {
    uint64_t at = img.cusfOffset + 8;
    img.recordsEnd = at;
    while (at < b.size()) {
        if (onlyFillFollows(b, at)) break;
        if (!readRecord(b, at, img)) return;
        at = img.records.back().next;
        img.recordsEnd = at;
    }
    readClosingFill(b, img);
}

} // namespace

const char *cusRecordKind(const CusIdent &ident) {
    if (le32(ident.data()) == kDspPatchIdent) return "DSP patch";
    if (le32(ident.data()) == kMcpIdent) return "MCP tables";
    return "CUS file";
}

bool looksLikeCodeImage(ByteView file) { return findCusf(file).has_value() || cutBeforeCusArea(file); }

CodeImageContents readCodeImage(ByteView b) {
    CodeImageContents img;
    img.fileSize = b.size();
    auto cusf = findCusf(b);
    if (!cusf && cutBeforeCusArea(b)) {
        img.cusfOffset = b.size(); // where "CUSF" was to follow
        readClosing(b, img);
        img.problems.push_back("the image ends after the code end marker at " + hex(img.endMarkerOffset) +
                               ": its CUS area is missing");
        return img;
    }
    if (!cusf) {
        img.codeLength = b.size();
        readCodeSection(b, img);
        return img;
    }
    img.hasCusArea = true;
    img.cusfOffset = *cusf;
    img.cusPos = wordAt(b, *cusf + 4) - 4;
    img.cusOnly = *cusf == 0;
    if (!img.cusOnly) readClosing(b, img);
    readRecords(b, img);
    return img;
}

} // namespace qv
