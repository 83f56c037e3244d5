// A small release for the merge tests (code file, DSP patch file, MCP file,
// two CUS files) and the bytes its records must have.
#pragma once

#include "fixture.h"

#include "codeimage/merge_code_cus.h"

namespace cvtest {

inline constexpr std::time_t kCodeTime = 1236262020; // 2009-03-05 14:07 UTC
inline constexpr uint32_t kBase = 0x04000000;
inline constexpr uint32_t kType = 0x1000023;

class MergeCodeTest : public CodeImageTest {
protected:
    void SetUp() override;

    // Writes the release files; `content` becomes the code section of the code
    // file once the version words are put in (kept in `section`).
    void makeRelease(const Bytes &content, uint32_t versionAddr1 = 0x02000000);
    // Runs merge_code_cus on the registered flash.
    int merge(const std::vector<std::string> &codeFiles, const std::vector<std::string> &cusFiles);
    int mergeAll() { return merge({code}, cus); }
    Bytes image() const { return qvtest::readFile(out.imagePath); }
    // "CUSF", cusPos + 4 and the four records of the release.
    Bytes expectedArea(uint32_t cusPos) const;
    // Size-and-date record, checksum and marker that close `section`.
    Bytes expectedClose(const Bytes &section, uint32_t marker) const;
    // The merge_code_cus lines of the log.
    std::vector<std::string> mergeLines();

    ScopedTz tz{"UTC0"};
    std::string code, dsp, mcp;
    std::vector<std::string> cus;
    std::vector<std::string> dspFiles;
    std::string mcpPath;
    qv::OutputImage out;
    std::string msg;
    qv::FlashInfo fi{nullptr};

    Bytes section, patch2, mcpTable, logoData;
    std::vector<Bytes> sensChunks;
};

} // namespace cvtest
