// docs/errors.md and base/results.h list the same result codes: a code added
// to one and not the other, or given another value in one of them, fails here.
#include "support/support.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string sourceText(const std::string &path) {
    const qvtest::Bytes b = qvtest::readFile(std::string(QUORVEL_SOURCE_DIR) + "/" + path);
    return std::string(b.begin(), b.end());
}

// Every negative number in the code column of the table's rows.
std::set<int> documentedCodes() {
    std::set<int> codes;
    std::istringstream doc(sourceText("docs/errors.md"));
    const std::regex row(R"(^\| [^|]+ \| ([^|]+) \|)"), code(R"(-\d+)");
    for (std::string line; std::getline(doc, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, row)) continue;
        const std::string cell = m[1];
        for (std::sregex_iterator it(cell.begin(), cell.end(), code), end; it != end; ++it)
            codes.insert(std::stoi(it->str()));
    }
    return codes;
}

// The value of every named code in the header.
std::set<int> namedCodes() {
    std::set<int> codes;
    const std::string header = sourceText("base/results.h");
    const std::regex named(R"(inline constexpr int k\w+ = (-\d+);)");
    for (std::sregex_iterator it(header.begin(), header.end(), named), end; it != end; ++it)
        codes.insert(std::stoi((*it)[1].str()));
    return codes;
}

} // namespace

TEST(ResultCodes, TheDocumentAndTheHeaderListTheSameCodes) {
    const std::set<int> documented = documentedCodes(), named = namedCodes();
    ASSERT_GT(named.size(), 100u);
    for (int c : named) EXPECT_TRUE(documented.count(c)) << c << " is named but not in docs/errors.md";
    for (int c : documented) EXPECT_TRUE(named.count(c)) << c << " is in docs/errors.md but has no name";
}
