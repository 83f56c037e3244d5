// Failures of the code image merge: every code with its inner message, what
// stays on disk, the temporary file, and write failures of every output.
#include "merge_fixture.h"

#include "codeimage/result_codes.h"

#include <filesystem>
#include <functional>
#include <map>

namespace cvtest {
namespace {

class MergeFailureTest : public MergeCodeTest {
protected:
    // Nothing of a failed merge reaches the entry or the published values.
    void expectNothingPublished() {
        EXPECT_EQ(out.imageType, 0xAAAAu);
        EXPECT_EQ(out.imageAddress, 0xBBBBu);
        EXPECT_EQ(out.imageSize, 0xCCCCu);
        EXPECT_TRUE(ctx.e2p.pending.empty());
        EXPECT_EQ(ctx.code.raiLowerbound, 0u);
    }
    std::string wpbFile(const Bytes &payload, const Bytes &trailing = {}) {
        return put("firmware.wpb", qvtest::makeWpb(payload, 0x1000023, trailing));
    }
};

TEST_F(MergeFailureTest, OutputThatCannotBeCreated) {
    makeRelease(randomBytes(100, 1));
    out.imagePath = dir.file("no/such/dir/code.img");
    EXPECT_EQ(mergeAll(), -60);
    EXPECT_EQ(msg, "open " + out.imagePath + " failed");
    EXPECT_EQ(ctx.io.cause.line(), out.imagePath + ": cannot be created: No such file or directory");
    expectNothingPublished();
}

TEST_F(MergeFailureTest, CodeFileThatCannotBeOpened) {
    makeRelease(randomBytes(100, 1));
    std::string absent = dir.file("absent.bin");
    EXPECT_EQ(merge({absent}, cus), -72);
    EXPECT_EQ(msg, "open " + absent + " failed");
    EXPECT_EQ(ctx.io.cause.line(), absent + ": cannot be opened: No such file or directory");
    EXPECT_TRUE(image().empty()); // created, then left as it is
    expectNothingPublished();
}

TEST_F(MergeFailureTest, TemporaryFileThatCannotBeCreated) {
    makeRelease(randomBytes(100, 1));
    std::filesystem::create_directory(dir.file("code.tmp"));
    EXPECT_EQ(merge({wpbFile(randomBytes(100, 2))}, cus), -82);
    EXPECT_EQ(msg, "open " + dir.path() + "/code.tmp failed");
}

TEST_F(MergeFailureTest, CorruptCompressedFileLeavesTheImageEmptyAndTheVersionWordsAlone) {
    makeRelease(randomBytes(100, 1));
    uint32_t addr = ctx.flash.versionAddr, addr1 = ctx.flash.versionAddr1;
    Bytes payload = randomBytes(500000, 2);
    for (size_t i = 0x1094 - 16; i < 0x10A4 - 16; ++i) payload[i] = 0x5C;
    std::string wpb = wpbFile(payload, Bytes(400000, 0x42)); // data after the stream end
    EXPECT_EQ(merge({wpb}, cus), -92);
    EXPECT_EQ(msg, "uncompress " + wpb + " error");
    EXPECT_TRUE(ctx.io.cause.line().starts_with(wpb + ": the zlib stream from offset 0x90 ends at offset 0x"));
    EXPECT_TRUE(ctx.io.cause.line().ends_with(", and the file goes on to " +
                                              std::to_string(std::filesystem::file_size(wpb))));
    EXPECT_TRUE(image().empty()); // the whole payload had been expanded into it
    EXPECT_FALSE(qvtest::fileExists(dir.file("code.tmp")));
    EXPECT_EQ(ctx.flash.versionAddr, addr);
    EXPECT_EQ(ctx.flash.versionAddr1, addr1);
    expectNothingPublished();
}

TEST_F(MergeFailureTest, TemporaryFileGoesAlsoWhenALaterStepFails) {
    makeRelease(randomBytes(100, 1));
    dspFiles = {dir.file("absent.pat")};
    EXPECT_EQ(merge({wpbFile(randomBytes(5000, 2))}, cus), -196);
    EXPECT_FALSE(qvtest::fileExists(dir.file("code.tmp")));
}

TEST_F(MergeFailureTest, TemporaryFileSitsNextToTheOutput) {
    makeRelease(randomBytes(100, 1));
    std::filesystem::create_directory(dir.file("sub"));
    out.imagePath = dir.file("sub/code.img");
    std::filesystem::create_directory(dir.file("sub/code.tmp")); // blocks only the folder of the output
    EXPECT_EQ(merge({wpbFile(randomBytes(100, 2))}, cus), -82);
    EXPECT_EQ(msg, "open " + dir.path() + "/sub/code.tmp failed");
}

TEST_F(MergeFailureTest, DspPatchFileMissingOrNotGiven) {
    makeRelease(randomBytes(100, 1));
    dspFiles = {dir.file("absent.pat")};
    EXPECT_EQ(mergeAll(), -196);
    EXPECT_EQ(msg, "open " + dir.file("absent.pat") + " failed");
    dspFiles.clear();
    EXPECT_EQ(mergeAll(), -196);
    EXPECT_EQ(msg, "no DSP patch file given");
    expectNothingPublished();
    // The code section, its close and the marker were written before the failure.
    EXPECT_EQ(image(), concat({section, expectedClose(section, 0x11223344)}));
}

TEST_F(MergeFailureTest, GeneratorFailuresKeepTheirCodes) {
    makeRelease(randomBytes(100, 1));
    put("dsp.pat", makeDspFile({{1, {1}}}));
    EXPECT_EQ(mergeAll(), -141);
    EXPECT_EQ(msg, "gen_patch() function error");
    EXPECT_EQ(ctx.io.cause.line(), dsp + ": is built for chip version 0x1; the flash description asks for 0x2 (chipId, low 4 bits)");

    makeRelease(randomBytes(100, 1));
    put("mcp.bin", makeMcpFile(40, 20, {{0x2C02, 0, 0, 0xBABE, 1}}));
    EXPECT_EQ(mergeAll(), -102);
    EXPECT_EQ(msg, "gen_mcp() function error");
    EXPECT_EQ(ctx.io.cause.line(), mcp + ": 0 of the 1 tables for the flash description's memory parts 0x2c01 (didr 0x1234) found; "
                                     "the file holds 1 table, for 0x2c02 (didr 0x0 mask 0x0)");

    makeRelease(randomBytes(100, 1));
    put("sens.cus", makeCusFile("JAVA", {{1}}));
    EXPECT_EQ(mergeAll(), -264);
    EXPECT_EQ(msg, "gen_cus(" + cus[1] + ") function error");

    makeRelease(randomBytes(100, 1));
    cus.insert(cus.begin() + 1, dir.file("absent.cus"));
    EXPECT_EQ(mergeAll(), -246);
    EXPECT_EQ(msg, "gen_cus(" + dir.file("absent.cus") + ") function error");
    expectNothingPublished();
}

TEST_F(MergeFailureTest, McpFileThatCannotBeOpened) {
    makeRelease(randomBytes(100, 1));
    mcpPath = dir.file("absent.mcp");
    EXPECT_EQ(mergeAll(), -219);
    EXPECT_EQ(msg, "open mcp bin file: " + mcpPath + " failed");
}

TEST_F(MergeFailureTest, RefusedInputsNameTheirFile) {
    makeRelease(randomBytes(100, 1));
    Bytes cut = makeDspFile({{2, randomBytes(20, 3)}});
    cut.resize(cut.size() - 1);
    put("dsp.pat", cut);
    EXPECT_EQ(mergeAll(), qv::kErrDspPatchPastEnd);
    EXPECT_EQ(msg, "patch data of " + dsp + " runs past the end of the file");
    EXPECT_EQ(ctx.io.cause.line(), dsp + ": patch 0 claims 20 bytes at offset 0x50 (0x10 + its offset), the file ends at 99");

    makeRelease(randomBytes(100, 1));
    put("mcp.bin", makeMcpFile(40, 37, {}));
    EXPECT_EQ(mergeAll(), qv::kErrMcpDidrOffset);
    EXPECT_EQ(msg, "offset_DIDR of " + mcp + " lies outside its table");

    makeRelease(randomBytes(100, 1));
    put("mcp.bin", makeMcpFile(4, 0, {}));
    EXPECT_EQ(mergeAll(), qv::kErrMcpTableSize);
    EXPECT_EQ(msg, "mcp table size of " + mcp + " is too small");
    expectNothingPublished();
}

TEST_F(MergeFailureTest, GenCodeWriteFailure) {
    makeRelease(randomBytes(200000, 1));
    seam.failAt = 2;
    EXPECT_EQ(merge({code}, {}), -41);
    EXPECT_EQ(msg, "gen_code() function error");
    expectNothingPublished();
}

// Makes the n-th write, flush or close fail for n = 1, 2, ... until the merge
// succeeds, and collects the result of each run; every cause names `output`
// and says the disk is full.
std::map<int, std::string> failEveryStep(qvtest::TestContext &t, const std::function<int()> &run,
                                         const std::string &msg, const std::string &output = "") {
    qvtest::IoFaultSeam &seam = t.seam;
    qv::MergeContext &ctx = t.ctx;
    std::map<int, std::string> seen;
    for (uint64_t n = 1; n < 1000; ++n) {
        seam = qvtest::IoFaultSeam{};
        seam.failAt = n;
        ctx.e2p.pending.clear();
        ctx.io.cause.clear();
        int r = run();
        if (r == 0) break;
        seen.emplace(r, msg);
        const std::string cause = ctx.io.cause.line();
        if (!output.empty()) {
            EXPECT_TRUE(cause.starts_with(output + ": ") && cause.ends_with(": No space left on device")) << cause;
        }
    }
    seam = qvtest::IoFaultSeam{};
    return seen;
}

TEST_F(MergeFailureTest, EveryWriteOfAnInterleavedImageIsChecked) {
    fi = useFlash(standardFlash(true));
    makeRelease(randomBytes(6003, 1));
    std::string img = out.imagePath;
    auto seen = failEveryStep(*this, [&] { return mergeAll(); }, msg, img);
    std::map<int, std::string> expected = {
        {-41, "gen_code() function error"},
        {qv::kErrSizeDateWrite, "write size and date record to " + img + " failed"},
        {qv::kErrMarkerWrite, "write code end marker to " + img + " failed"},
        {qv::kErrAlignFillWrite, "write alignment fill to " + img + " failed"},
        {qv::kErrCusfWrite, "write CUSF header to " + img + " failed"},
        {qv::kErrPatchRecordWrite, "write DSP patch record to " + img + " failed"},
        {qv::kErrMcpRecordWrite, "write MCP record to " + img + " failed"},
        {qv::kErrCusRecordWrite, "write record of " + cus[0] + " to " + img + " failed"},
        {qv::kErrClosingFillWrite, "write closing fill to " + img + " failed"},
        {qv::kErrCusImageClose, "close " + img + " failed"},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(MergeFailureTest, WriteFailuresOfACodeOnlyImageAndOfTheTemporaryFile) {
    makeRelease(randomBytes(100, 1));
    std::string wpb = wpbFile(randomBytes(700000, 2));
    std::string tmp = dir.path() + "/code.tmp";
    auto seen = failEveryStep(*this, [&] { return merge({wpb}, {}); }, msg);
    std::map<int, std::string> expected = {
        {qv::kErrTempClose, "close " + tmp + " failed"},
        {-92, "uncompress " + wpb + " error"}, // a block of the expansion into the image
        {qv::kErrCodeImageClose, "close " + out.imagePath + " failed"},
    };
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(qvtest::fileExists(tmp));
}

} // namespace
} // namespace cvtest
