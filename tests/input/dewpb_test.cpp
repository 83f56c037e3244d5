// Expansion of compressed inputs through the real zlib: results, output and
// the exact log lines.
#include "support/support.h"

#include "input/dewpb.h"
#include "support/context.h"

#include <gtest/gtest.h>
#include <zlib.h>

using namespace qv;
using namespace qvtest;

namespace {

// A zlib stream of stored blocks, so that its length is known to the byte:
// 2 header bytes, 5 bytes per block, the data, 4 check bytes.
Bytes storedZlib(const Bytes &data, size_t blockSize = 65535) {
    Bytes z{0x78, 0x01};
    size_t pos = 0;
    do {
        size_t len = std::min(blockSize, data.size() - pos);
        bool last = pos + len == data.size();
        z.push_back(last ? 1 : 0);
        put16(z, uint16_t(len));
        put16(z, uint16_t(~len));
        z.insert(z.end(), data.begin() + long(pos), data.begin() + long(pos + len));
        pos += len;
    } while (pos < data.size());
    uLong a = adler32(1, data.data(), uInt(data.size()));
    for (int i = 3; i >= 0; --i) z.push_back(uint8_t(a >> (8 * i)));
    return z;
}

Bytes wpbHeader() {
    Bytes b(144, 0);
    b[16] = 0x57, b[17] = 0x5A;
    return b;
}

class DeWpb : public ::testing::Test, protected qvtest::TestContext {
protected:
    void SetUp() override {
        qvtest::resetContext(ctx);
        ASSERT_TRUE(ctx.io.log.open(dir.file("log.txt")));
    }
    void TearDown() override { qvtest::resetContext(ctx); }

    // Expands `input` into out.bin; returns the result.
    int expand(const Bytes &input) {
        writeFile(dir.file("in.wpb"), input);
        File in(dir.file("in.wpb"), "rb"), out(dir.file("out.bin"), "wb", &seam);
        int r = deWpb(ctx.io, in, out);
        out.close();
        return r;
    }
    std::vector<std::string> log() {
        ctx.io.log.close();
        return readLines(dir.file("log.txt"));
    }
    Bytes output() { return readFile(dir.file("out.bin")); }
    TempDir dir;
};

} // namespace

TEST_F(DeWpb, SmallStreamWritesOneBlockThenTheEndLine) {
    Bytes payload = randomBytes(1000, 1);
    EXPECT_EQ(expand(makeWpb(payload, 0)), 0);
    EXPECT_EQ(output(), payload);
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Write 1000 bytes", "deWpb: 160 DWL_END_OF_DOWNLOAD"}));
}

TEST_F(DeWpb, LargeOutputIsWrittenInBlocksOfTheBufferSize) {
    Bytes payload(700000, 0x5A); // compresses into a single read
    EXPECT_EQ(expand(makeWpb(payload, 0)), 0);
    EXPECT_EQ(output(), payload);
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Write 300000 bytes", "deWpb: Write 300000 bytes",
                                               "deWpb: Write 100000 bytes", "deWpb: 160 DWL_END_OF_DOWNLOAD"}));
}

TEST_F(DeWpb, StreamSpanningSeveralReads) {
    Bytes payload = randomBytes(650000, 2); // incompressible: three reads of input
    EXPECT_EQ(expand(makeWpb(payload, 0)), 0);
    EXPECT_EQ(output(), payload);
    std::vector<std::string> lines = log();
    EXPECT_EQ(lines.back(), "deWpb: 160 DWL_END_OF_DOWNLOAD");
}

TEST_F(DeWpb, EmptyPayloadIsCorruptWhileFinishing) {
    EXPECT_EQ(expand(wpbHeader()), -155);
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Reached end of stream",
                                               "deWpb: Corrupt stream while finishing"}));
    EXPECT_TRUE(output().empty());
}

TEST_F(DeWpb, TruncatedStreamIsCorruptWhileFinishing) {
    Bytes full = makeWpb(randomBytes(5000, 3), 0);
    full.resize(full.size() - 100);
    EXPECT_EQ(expand(full), -155);
    std::vector<std::string> lines = log();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "deWpb: Reached end of stream");
    EXPECT_EQ(lines.back(), "deWpb: Corrupt stream while finishing");
}

TEST_F(DeWpb, DataAfterTheStreamInALaterReadIsCorrupt) {
    // 2 + 5 × 5 + 299969 + 4 = exactly 300000 stream bytes: the first read
    // takes the whole stream and the next read finds the trailing byte.
    Bytes data = randomBytes(299969, 4);
    Bytes stream = storedZlib(data);
    ASSERT_EQ(stream.size(), 300000u);
    Bytes input = concat({wpbHeader(), stream, Bytes{'X'}});
    EXPECT_EQ(expand(input), -128);
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Write 299969 bytes", "deWpb: Corrupt stream"}));
    EXPECT_EQ(output(), data);
}

TEST_F(DeWpb, DataAfterTheStreamInTheSameReadIsNotNoticed) {
    Bytes payload = randomBytes(100, 5);
    EXPECT_EQ(expand(makeWpb(payload, 0, Bytes(50, 0xEE))), 0);
    EXPECT_EQ(output(), payload);
}

TEST_F(DeWpb, BadMagicAndBadDataAndPresetDictionary) {
    Bytes noMagic = makeWpb(Bytes{1}, 0);
    noMagic[17] = 0;
    EXPECT_EQ(expand(noMagic), -62);
    Bytes badData = concat({wpbHeader(), Bytes{0x78, 0x00, 1, 2, 3}}); // header check fails
    EXPECT_EQ(expand(badData), -99);
    Bytes dict = concat({wpbHeader(), Bytes{0x78, 0xBB, 0, 0, 0, 1, 0x03, 0x00}}); // FDICT set
    EXPECT_EQ(expand(dict), -99);
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Inflate error", "deWpb: Inflate error"}));
}

TEST_F(DeWpb, ShortWritesFailWithTheirOwnCodes) {
    Bytes payload = randomBytes(1000, 6);
    seam = qvtest::IoFaultSeam{1, 0}; // the first write fails
    EXPECT_EQ(expand(makeWpb(payload, 0)), -115);
    seam = qvtest::IoFaultSeam{};
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Write 1000 bytes", "deWpb: Write err 0"}));
}

namespace {

// Writes bits least significant first, as deflate packs them.
struct BitWriter {
    Bytes out;
    unsigned used = 8;
    void bits(uint32_t value, unsigned n) {
        for (unsigned i = 0; i < n; ++i) {
            if (used == 8) out.push_back(0), used = 0;
            out.back() |= uint8_t(((value >> i) & 1) << used++);
        }
    }
    // Huffman codes go most significant bit first.
    void code(uint32_t value, unsigned n) {
        for (unsigned i = n; i-- > 0;) bits((value >> i) & 1, 1);
    }
};

// A zlib stream cut short: `stored` bytes in stored blocks, then a fixed
// Huffman block of one zero literal and `matches` copies of 258 bytes at
// distance 1, ending right after the last match (no end of block, no check).
Bytes streamEndingInAMatch(size_t stored, int matches) {
    Bytes data = randomBytes(stored, 9);
    Bytes z = storedZlib(data);
    z.resize(z.size() - 4); // drop the check: the stream goes on
    size_t pos = 2; // clear the final bit of every stored block: the fixed block follows
    while (pos < z.size()) {
        uint16_t len = uint16_t(z[pos + 1] | z[pos + 2] << 8);
        z[pos] = 0;
        pos += 5 + len;
    }
    BitWriter w;
    w.bits(0, 1);        // not the final block
    w.bits(1, 2);        // fixed Huffman codes
    w.code(0x30, 8);     // literal 0
    for (int i = 0; i < matches; ++i) {
        w.code(0xC5, 8); // length 258
        w.code(0, 5);    // distance 1
    }
    z.insert(z.end(), w.out.begin(), w.out.end());
    return z;
}

} // namespace

TEST_F(DeWpb, OutputLeftForTheFinishingLoop) {
    // 299500 stored bytes + 1 + 2 x 258 = 300017 bytes of output from a single
    // read: the first call fills the buffer mid-copy with the input used up,
    // and the finishing call gives the last 17 bytes before running dry.
    Bytes input = concat({wpbHeader(), streamEndingInAMatch(299500, 2)});
    EXPECT_EQ(expand(input), -155);
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Write 300000 bytes", "deWpb: Reached end of stream",
                                               "deWpb: Final write 17 bytes",
                                               "deWpb: Corrupt stream while finishing"}));
    EXPECT_EQ(output().size(), 300017u);
}

TEST_F(DeWpb, ShortWriteWhileFinishingFails) {
    Bytes input = concat({wpbHeader(), streamEndingInAMatch(299500, 2)});
    seam = qvtest::IoFaultSeam{2, 0}; // the second write is the final one
    EXPECT_EQ(expand(input), -148);
    seam = qvtest::IoFaultSeam{};
    EXPECT_EQ(log(), (std::vector<std::string>{"deWpb: Write 300000 bytes", "deWpb: Reached end of stream",
                                               "deWpb: Final write 17 bytes", "deWpb: Write err 0"}));
}
