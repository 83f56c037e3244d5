// The description-file parser: containers, headers, value lines, metadata.
#include "support/support.h"

#include "base/system.h"
#include "e2p/e2p_file.h"
#include "e2p/text_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace qvtest;
using namespace qv;

namespace {

class Parser : public ::testing::Test {
protected:
    TempDir dir;
    CE2pFile table;

    int load(const std::string &text) { return loadBytes(Bytes(text.begin(), text.end())); }
    int loadBytes(const Bytes &b) {
        writeFile(dir.file("f.e2p"), b);
        return table.Load(dir.file("f.e2p"), 0, &error);
    }
    const E2pFileObjTag &obj(size_t i) { return table.Objects().at(i); }
    std::string error; // the message of the last failed load
    std::vector<int32_t> values(size_t i) {
        std::vector<int32_t> v;
        for (const auto &x : obj(i).values) v.push_back(x.value);
        return v;
    }
};

Bytes container(const char *magic, size_t headerLength, const std::string &text) {
    Bytes b(headerLength, 0xEE);
    std::copy(magic, magic + 4, b.begin());
    b.insert(b.end(), text.begin(), text.end());
    return b;
}

TEST_F(Parser, EmptyMissingAndRemarkOnlyFilesGiveNoObjects) {
    EXPECT_EQ(load(""), 0);
    EXPECT_EQ(table.GetObjCount(), 0);
    EXPECT_EQ(load("# remark\n\nthis is a remark of many words\nshort one\n"), 0);
    EXPECT_EQ(table.GetObjCount(), 0);
    EXPECT_EQ(table.Load(dir.file("missing.e2p"), 0), 0);
    EXPECT_EQ(table.GetObjCount(), 0);
    EXPECT_EQ(table.Load(dir.path(), 0), 0) << "a directory reads as no file";
    EXPECT_EQ(table.GetObjCount(), 0);
}

TEST_F(Parser, HeaderFieldsAreDecimal) {
    ASSERT_EQ(load("Obj_A 100 2 1\n0x1234 %u16\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).name, "Obj_A");
    EXPECT_EQ(obj(0).address, 100);
    EXPECT_EQ(obj(0).size, 2);
    EXPECT_EQ(obj(0).count, 1);
    ASSERT_EQ(obj(0).values.size(), 1u);
    EXPECT_EQ(obj(0).values[0].value, 0x1234);
    EXPECT_EQ(obj(0).values[0].typeName, "%u16");
    EXPECT_EQ(obj(0).values[0].type, kE2pU16);
    ASSERT_EQ(load("B 0x4000 99999999999 -5\n"), 0);
    EXPECT_EQ(obj(0).address, 0);
    EXPECT_EQ(obj(0).size, 2147483647);
    EXPECT_EQ(obj(0).count, -5);
}

TEST_F(Parser, ContainersSkipTheirHeaders) {
    ASSERT_EQ(loadBytes(container("MSTM", 16, "A 1 1 1\n5 %u8\n")), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(values(0), std::vector<int32_t>{5});
    ASSERT_EQ(loadBytes(container("MSTE", 32, "B 2 1 1\n6 %u8\n")), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).name, "B");
    // An "MSTE" text behind a 16-byte header would lose its first 16 bytes.
    ASSERT_EQ(loadBytes(container("MSTE", 16, "C 3 1 1\n77 %u8\n\nD 4 1 1\n8 %u8\n")), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).name, "D");
}

TEST_F(Parser, ContainerWithoutTextAndShortFiles) {
    EXPECT_EQ(loadBytes(container("MSTM", 16, "")), 0);
    EXPECT_EQ(table.GetObjCount(), 0);
    EXPECT_EQ(table.TempFile(), "") << "no temporary file without text";
    EXPECT_EQ(loadBytes(container("MSTE", 16, "A 1 1 0\n")), 0); // 24 bytes, header 32
    EXPECT_EQ(table.GetObjCount(), 0);
    // 15 bytes: too short for a container, read as text from byte 0.
    ASSERT_EQ(load("MSTM 5 1 0    \n"), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).name, "MSTM");
    EXPECT_EQ(obj(0).address, 5);
}

TEST_F(Parser, ContainerTextGoesThroughATemporaryFileThatIsDeleted) {
    TempDir tmp;
    int r = 0;
    {
        const qvtest::TempFolderScope scope(tmp.path());
        r = loadBytes(container("MSTM", 16, "A 1 1 1\n5 %u8\n"));
    }
    ASSERT_EQ(r, 0);
    EXPECT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(qvtest::slashed(table.TempFile()).rfind(tmp.path() + "/AuE", 0), 0u) << table.TempFile();
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "the temporary file is deleted after parsing";
}

TEST_F(Parser, ContainerFailsWhenNoTemporaryFileCanBeMade) {
    int r = 0;
    std::string folder; // as the system names it: "C:\\...\\no-such-dir\\" on Windows
    {
        const qvtest::TempFolderScope scope(dir.file("no-such-dir"));
        folder = qv::sys::tempDir();
        r = loadBytes(container("MSTM", 16, "A 1 1 1\n5 %u8\n"));
    }
    EXPECT_EQ(r, -1207);
    EXPECT_EQ(qvtest::slashed(folder), dir.file("no-such-dir") + (kWindows ? "/" : ""));
    EXPECT_EQ(error, "cannot create a temporary file in " + folder);
}

TEST_F(Parser, CountZeroAndTheLineAfterIt) {
    ASSERT_EQ(load("A 1 1 0\nB 2 1 1\n9 %u8\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 2);
    EXPECT_TRUE(obj(0).values.empty());
    EXPECT_EQ(obj(1).name, "B");
    EXPECT_EQ(values(1), std::vector<int32_t>{9});
}

TEST_F(Parser, NumericValueTokens) {
    ASSERT_EQ(load("A 1 6 3\n1 0x1F %p %u16\n"), 0);
    EXPECT_EQ(values(0), (std::vector<int32_t>{1, 31, -1}));
    ASSERT_EQ(load("A 1 1 1\n10x5 %u8\n"), 0);
    EXPECT_EQ(values(0), std::vector<int32_t>{0x1005});
    ASSERT_EQ(load("A 1 1 1\n0X1F %u8\n"), 0);
    EXPECT_EQ(values(0), std::vector<int32_t>{0});
    ASSERT_EQ(load("A 1 1 1\nx%py %u8\n"), 0);
    EXPECT_EQ(values(0), std::vector<int32_t>{-1}) << "%p anywhere in the token";
    ASSERT_EQ(load("A 1 4 1\n4294967295 %u32\n"), 0);
    EXPECT_EQ(values(0), std::vector<int32_t>{2147483647});
    ASSERT_EQ(load("A 1 4 1\n0xFFFFFFFF %u32\n"), 0);
    EXPECT_EQ(values(0), std::vector<int32_t>{-1});
    ASSERT_EQ(load("A 1 4 1\n-2147483649 %s32\n"), 0);
    EXPECT_EQ(values(0), std::vector<int32_t>{INT32_MIN});
}

TEST_F(Parser, LastTokenIsAlwaysTheType) {
    ASSERT_EQ(load("A 1 1 1\n5 6\n"), 0);
    ASSERT_EQ(obj(0).values.size(), 1u);
    EXPECT_EQ(obj(0).values[0].value, 5);
    EXPECT_EQ(obj(0).values[0].type, kE2pU8);
    EXPECT_EQ(obj(0).values[0].typeName, "6");
    ASSERT_EQ(load("A 1 1 1\nhello %ASCII\n"), 0);
    ASSERT_EQ(obj(0).values.size(), 1u);
    EXPECT_EQ(obj(0).values[0].value, 0);
    EXPECT_EQ(obj(0).values[0].type, kE2pU8) << "type tokens are case-sensitive";
    EXPECT_EQ(obj(0).values[0].text, "");
}

TEST_F(Parser, TypeTokenTable) {
    EXPECT_EQ(CE2pFile::GetValueType("%u8"), 0);
    EXPECT_EQ(CE2pFile::GetValueType("%s8"), 1);
    EXPECT_EQ(CE2pFile::GetValueType("%u16"), 2);
    EXPECT_EQ(CE2pFile::GetValueType("%s16"), 3);
    EXPECT_EQ(CE2pFile::GetValueType("%u32"), 4);
    EXPECT_EQ(CE2pFile::GetValueType("%s32"), 5);
    EXPECT_EQ(CE2pFile::GetValueType("%ascii"), 6);
    EXPECT_EQ(CE2pFile::GetValueType(""), 0);
    EXPECT_EQ(CE2pFile::GetValueType("%u64"), 0);
}

TEST_F(Parser, AsciiJoinsWithSingleSpaces) {
    ASSERT_EQ(load("A 1 11 2\nhello  \t world %ascii\n%ascii\n"), 0);
    ASSERT_EQ(obj(0).values.size(), 2u);
    EXPECT_EQ(obj(0).values[0].text, "hello world");
    EXPECT_EQ(obj(0).values[0].type, kE2pAscii);
    EXPECT_EQ(obj(0).values[0].value, 0);
    EXPECT_EQ(obj(0).values[1].text, "") << "a lone type token gives one empty text";
    ASSERT_EQ(load("A 1 3 1\na\tb %ascii\n"), 0);
    EXPECT_EQ(obj(0).values[0].text, "a\tb");
}

TEST_F(Parser, CountRunsOverLinesAndSwallowsHeaders) {
    ASSERT_EQ(load("A 1 4 3\n1 %u8\nB 2 2 1\nC 3 1 1\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 2);
    EXPECT_EQ(values(0), (std::vector<int32_t>{1, 0, 2, 2})) << "B 2 2 1 is read as values of type \"1\"";
    EXPECT_EQ(obj(1).name, "C");
    EXPECT_TRUE(obj(1).values.empty()) << "cut short by the end of the file, still kept";
}

TEST_F(Parser, ExtraValuesOnALineAreKept) {
    ASSERT_EQ(load("A 1 3 2\n1 2 3 %u8\nB 2 1 1\n4 %u8\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 2);
    EXPECT_EQ(values(0), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(values(1), std::vector<int32_t>{4});
}

TEST_F(Parser, LinesWithoutValuesDoNotCount) {
    ASSERT_EQ(load("A 1 1 1\n%u8\n\n   \t\n7 %u8\n"), 0);
    EXPECT_EQ(values(0), std::vector<int32_t>{7});
}

TEST_F(Parser, MixedTypesInOneObject) {
    ASSERT_EQ(load("A 1 7 3\n1 %u8\n-1 %s16\nok %ascii\n"), 0);
    ASSERT_EQ(obj(0).values.size(), 3u);
    EXPECT_EQ(obj(0).values[0].type, kE2pU8);
    EXPECT_EQ(obj(0).values[1].type, kE2pS16);
    EXPECT_EQ(obj(0).values[2].type, kE2pAscii);
}

TEST_F(Parser, DummyVersion) {
    ASSERT_EQ(load("Dummy::Version 0 0 1\n1.2.3.4 %ascii\n"), 0);
    EXPECT_EQ(table.GetObjCount(), 0);
    EXPECT_EQ(table.Version(), 0x01020304u);
    ASSERT_EQ(load("Dummy::Version 0 0 1\n1.2 %ascii\n"), 0);
    EXPECT_EQ(table.Version(), 0x01020000u);
    ASSERT_EQ(load("Dummy::Version 0 0 1\n1.300.0.0 %ascii\n"), 0);
    EXPECT_EQ(table.Version(), 0x022C0000u);
    ASSERT_EQ(load("Dummy::Version 0 0 1\n9.8.7.6.5 %ascii\n"), 0);
    EXPECT_EQ(table.Version(), 0x09080706u);
    ASSERT_EQ(load("Dummy::Version 0 0 1\n5.5 %u8\n"), 0);
    EXPECT_EQ(table.Version(), 0x09080706u) << "another type token leaves it";
}

TEST_F(Parser, DummyId) {
    ASSERT_EQ(load("Dummy::ID 0 0 1\n0x1FF %u8\n"), 0);
    EXPECT_EQ(table.Id(), 0xFF);
    ASSERT_EQ(load("Dummy::ID 0 0 1\n7 %ascii\n"), 0);
    EXPECT_EQ(table.Id(), 0xFF) << "%ascii leaves it";
    ASSERT_EQ(load("Dummy::ID 0 0 1\n300 whatever\n"), 0);
    EXPECT_EQ(table.Id(), 300 & 0xFF) << "unknown type tokens count as %u8";
    ASSERT_EQ(load("Dummy::ID 0 0 1\n\n"), 0);
    EXPECT_EQ(table.Id(), 0) << "a blank line sets 0";
}

TEST_F(Parser, DummyEntriesConsumeExactlyOneLine) {
    ASSERT_EQ(load("Dummy::Other 0 0 5\nA 1 1 1\nB 2 1 1\n3 %u8\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).name, "B");
    ASSERT_EQ(load("Dummy 1 1 1\nx %u8\nC 3 1 0\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).name, "C");
    ASSERT_EQ(load("Dummy:x 1 1 1\n1 %u8\n"), 0);
    EXPECT_EQ(table.GetObjCount(), 0);
    ASSERT_EQ(load("DummyX 1 1 1\n1 %u8\nxDummy::ID 1 1 1\n2 %u8\n"), 0);
    EXPECT_EQ(table.GetObjCount(), 2) << "only the piece before ':' is compared";
    ASSERT_EQ(load("A 1 1 0\nDummy::ID 0 0 1"), 0);
    EXPECT_EQ(table.GetObjCount(), 1) << "a metadata header as the last line adds nothing";
}

TEST_F(Parser, TabsCarriageReturnsAndEndOfFileByte) {
    ASSERT_EQ(load("A\t1\t1\t1\n1 %u8\n"), 0);
    EXPECT_EQ(table.GetObjCount(), 0) << "tab-separated fields are one token";
    ASSERT_EQ(load("A 1 2 2\r\n1 %u8\r\n2 %u8\r\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(values(0), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(obj(0).values[1].typeName, "%u8");
    ASSERT_EQ(load("A 1 1 1\n1 %u8\n\x1A" "B 2 1 1\n2 %u8\n"), 0);
    EXPECT_EQ(table.GetObjCount(), 1);
    ASSERT_EQ(load("A 1 1 1\n1 %u8\x1A\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).values.at(0).typeName, "%u8");
}

TEST_F(Parser, SecondLoadEmptiesTheTableButKeepsMetadata) {
    ASSERT_EQ(load("Dummy::ID 0 0 1\n5 %u8\nA 1 1 0\n"), 0);
    ASSERT_EQ(load("B 1 1 0\n"), 0);
    ASSERT_EQ(table.GetObjCount(), 1);
    EXPECT_EQ(obj(0).name, "B");
    EXPECT_EQ(table.Id(), 5);
}

TEST_F(Parser, TenThousandObjectsLoad) {
    std::string text = "Dummy::Version 0 0 1\n1.0 %ascii\n";
    for (int i = 0; i < 10000; ++i)
        text += "OBJ_" + std::to_string(i) + " " + std::to_string(i % 8000) + " 4 2\n  0x12 %u8\n  -3 7 %s8\n";
    writeText(dir.file("big.e2p"), text);
    ASSERT_EQ(table.Load(dir.file("big.e2p"), 0), 0);
    EXPECT_EQ(table.GetObjCount(), 10000);
}

} // namespace
