#include "merge_fixture.h"

namespace cvtest {

void MergeCodeTest::SetUp() {
    CodeImageTest::SetUp();
    out.imagePath = dir.file("code.img");
    out.imageType = 0xAAAA;
    out.imageAddress = 0xBBBB;
    out.imageSize = 0xCCCC;
    fi = useFlash(standardFlash());
    patch2 = {0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5};
    logoData = randomBytes(13, 11);
    sensChunks = {randomBytes(5, 12), randomBytes(6, 13), randomBytes(7, 14)};
}

void MergeCodeTest::makeRelease(const Bytes &content, uint32_t versionAddr1) {
    Bytes file = makeCodeFile(content, 0x00040506, versionAddr1);
    section.assign(file.begin() + 16, file.end());
    code = put("firmware.bin", file);
    setMtime(code, kCodeTime);
    dsp = put("dsp.pat", makeDspFile({{1, {0x10, 0x11}}, {2, patch2}, {3, {0x30}}}));
    McpTable wanted{0x2C01, 0x1234, 0xFFFF, 0xBABE, 7};
    mcpTable = makeMcpTable(40, 20, wanted);
    mcp = put("mcp.bin", makeMcpFile(40, 20, {{0x2C02, 0x1234, 0xFFFF, 0xBABE, 6}, wanted}));
    cus = {put("logo.cus", makeCusFile("LCMC", {logoData})), put("sens.cus", makeCusFile("SENS", sensChunks))};
    dspFiles = {dsp};
    mcpPath = mcp;
}

int MergeCodeTest::merge(const std::vector<std::string> &codeFiles, const std::vector<std::string> &cusFiles) {
    ctx.io.cause.clear(); // each merge explains its own failure
    return qv::merge_code_cus(ctx.code, codeFiles, dspFiles, mcpPath, cusFiles, out, fi, msg);
}

Bytes MergeCodeTest::expectedArea(uint32_t cusPos) const {
    Bytes sens = concat({sensChunks[0], chunkHeader(6, "DSCT"), sensChunks[1], chunkHeader(7, "DSCT"), sensChunks[2]});
    return concat({ascii("CUSF"), le32Bytes(cusPos + 4), adRecord(patch2, "DSPP"), adRecord(mcpTable, "MPRM"),
                   adRecord(logoData, "LCMC"), adRecord(21, sens, "DSCT")});
}

Bytes MergeCodeTest::expectedClose(const Bytes &section, uint32_t marker) const {
    Bytes sd = sizeDate(std::to_string(section.size() + 16) + " 030509 14:07");
    return concat({sd, le32Bytes(xorWords(sd, xorWords(section))), le32Bytes(marker)});
}

std::vector<std::string> MergeCodeTest::mergeLines() {
    std::vector<std::string> lines;
    for (const std::string &l : logLines())
        if (l.rfind("merge_code_cus: ", 0) == 0) lines.push_back(l);
    return lines;
}

} // namespace cvtest
