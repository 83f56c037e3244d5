// Text helpers of the description-file parser: splitting, number reading,
// text-mode lines and temporary files.
#include "support/support.h"

#include "e2p/text_helpers.h"
#include "e2p/text_lines.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace qv;
using Tokens = std::vector<std::string>;

namespace {

Tokens split(std::string_view text, std::string_view seps = " ") {
    Tokens t{"stale"};
    SplitString(text, t, seps);
    return t;
}

std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    TextLines l(text);
    for (std::string_view line; l.next(line);) out.emplace_back(line);
    return out;
}

TEST(SplitString, SpacesSeparateTabsOnlyTrim) {
    EXPECT_EQ(split("  a   b\tc  d \t\n"), (Tokens{"a", "b\tc", "d"}));
    EXPECT_EQ(split("a \tb"), (Tokens{"a", "b"}));
    EXPECT_EQ(split(" \t \t"), Tokens{});
    EXPECT_EQ(split(""), Tokens{});
    EXPECT_EQ(split("NAME\t100\t2\t1"), Tokens{"NAME\t100\t2\t1"});
    EXPECT_EQ(split("x\r"), Tokens{"x\r"}) << "a carriage return is not trimmed";
}

TEST(SplitString, ColonPairsGiveAnEmptyPiece) {
    EXPECT_EQ(split("Dummy::Version", "::"), (Tokens{"Dummy", "", "Version"}));
    EXPECT_EQ(split("Dummy", "::"), Tokens{"Dummy"});
    EXPECT_EQ(split("a:", ":"), Tokens{"a"});
    EXPECT_EQ(split(":a", ":"), (Tokens{"", "a"}));
    EXPECT_EQ(split("1.2..4", "."), (Tokens{"1", "2", "", "4"}));
}

TEST(GetToken, OutsideTheListIsEmpty) {
    Tokens t{"a", "b"};
    EXPECT_EQ(GetToken(t, 1), "b");
    EXPECT_EQ(GetToken(t, 2), "");
    EXPECT_EQ(GetToken(t, -1), "");
}

TEST(HexStrToInt, PrefixDigitsAndWrap) {
    EXPECT_EQ(HexStrToInt("0x1F"), 31);
    EXPECT_EQ(HexStrToInt("0xffffFFFF"), -1);
    EXPECT_EQ(HexStrToInt("10x5"), 0x1005) << "read whole, x counts 0";
    EXPECT_EQ(HexStrToInt("0X1F"), 0x001F) << "capital X is a non-digit";
    EXPECT_EQ(HexStrToInt("0x123456789"), 0x23456789) << "bits past 32 are lost";
    EXPECT_EQ(HexStrToInt("0x"), 0);
    EXPECT_EQ(HexStrToInt("0xG1"), 1);
}

TEST(DecStrToInt, ReadsLikeTheCLibraryAndSaturates) {
    EXPECT_EQ(DecStrToInt("123abc"), 123);
    EXPECT_EQ(DecStrToInt("  -42"), -42);
    EXPECT_EQ(DecStrToInt("+7"), 7);
    EXPECT_EQ(DecStrToInt("0x4000"), 0);
    EXPECT_EQ(DecStrToInt("abc"), 0);
    EXPECT_EQ(DecStrToInt("-"), 0);
    EXPECT_EQ(DecStrToInt(""), 0);
    EXPECT_EQ(DecStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(DecStrToInt("2147483648"), 2147483647);
    EXPECT_EQ(DecStrToInt("4294967295"), 2147483647);
    EXPECT_EQ(DecStrToInt("99999999999999999999999"), 2147483647);
    EXPECT_EQ(DecStrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(DecStrToInt("-2147483649"), INT32_MIN);
    EXPECT_EQ(DecStrToInt("\r\v12"), 12);
}

TEST(TextLines, LineFeedsCarriageReturnsAndEndOfFileByte) {
    EXPECT_EQ(lines(""), std::vector<std::string>{});
    EXPECT_EQ(lines("a\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines("a\nb\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines("\n\n"), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(lines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines("a\r\r\nb\rc"), (std::vector<std::string>{"a\r", "b\rc"}));
    EXPECT_EQ(lines("a\nb\x1A\nc\n"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(lines("\x1A" "a\n"), std::vector<std::string>{});
}

TEST(Files, LengthAndExistence) {
    qvtest::TempDir dir;
    qvtest::writeText(dir.file("f"), "12345");
    EXPECT_EQ(GetFileLength(dir.file("f")), 5u);
    EXPECT_EQ(GetFileLength(dir.file("none")), 0u);
    EXPECT_EQ(GetFileLength(dir.path()), 0u);
    EXPECT_TRUE(IsFileExist(dir.file("f")));
    EXPECT_FALSE(IsFileExist(dir.file("none")));
    EXPECT_FALSE(IsFileExist(dir.path()));
    EXPECT_FALSE(IsFileExist(""));
}

TEST(Files, TempFilePathIsANewEmptyFileInTmpdir) {
    qvtest::TempDir dir;
    std::string a, b, none;
    {
        const qvtest::TempFolderScope scope(dir.path());
        a = GetTempFilePath("AuE"), b = GetTempFilePath("AuE");
    }
    {
        const qvtest::TempFolderScope scope(dir.path() + "/missing");
        none = GetTempFilePath("AuE");
    }

    EXPECT_EQ(qvtest::slashed(a).rfind(dir.path() + "/AuE", 0), 0u) << a;
    EXPECT_NE(a, b);
    EXPECT_TRUE(IsFileExist(a));
    EXPECT_EQ(GetFileLength(a), 0u);
    EXPECT_EQ(none, "");
}

} // namespace
