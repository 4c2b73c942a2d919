// Joining complete raw deflate streams into one: every kind of block, ending at every bit of a
// byte, must come out as a stream that plain zlib inflates to the pieces' data in order.
#include "archive/deflate_scan.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "archive_fixtures.h"

namespace kelvora {
namespace {

using archive::Bytes;

// A complete raw deflate stream as zlib writes it with these settings.
Bytes rawDeflate(const std::string& data, int level, int strategy) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

std::string rawInflate(const Bytes& stream) {
    return test::zlibInflate({reinterpret_cast<const char*>(stream.data()), stream.size()}, -15);
}

TEST(DeflateJoin, PiecesOfEveryBlockKindJoinIntoOneStream) {
    struct Piece {
        std::string what;
        std::string data;
        int level;
        int strategy;
    };
    std::vector<Piece> pieces = {
        {"stored, several blocks", test::randomBytes(150000, 1), 0, Z_DEFAULT_STRATEGY},
        {"dynamic", test::patterned(200000, 2), 9, Z_DEFAULT_STRATEGY},
        {"random, fast", test::randomBytes(40000, 3), 1, Z_DEFAULT_STRATEGY},
        {"long runs", std::string(300000, '\0'), 6, Z_DEFAULT_STRATEGY},
        {"literals only", test::patterned(30000, 4), 6, Z_HUFFMAN_ONLY},
        {"fixed codes", test::patterned(30000, 5), 6, Z_FIXED},
        {"one byte", "x", 6, Z_DEFAULT_STRATEGY},
    };
    // Short pieces in fixed codes end at every bit position of their last byte.
    for (int size = 1; size <= 24; ++size)
        pieces.push_back({"fixed, " + std::to_string(size) + " bytes",
                          test::patterned(static_cast<std::size_t>(size), static_cast<unsigned>(size)), 6,
                          Z_FIXED});

    Bytes joined;
    std::string expected;
    for (const Piece& p : pieces) {
        Bytes stream = rawDeflate(p.data, p.level, p.strategy);
        ASSERT_TRUE(archive::makeContinuable(stream)) << p.what;
        // Alone, followed by an empty final block, each piece is a stream of its own too.
        Bytes alone = stream;
        alone.insert(alone.end(), {0x03, 0x00});
        EXPECT_EQ(rawInflate(alone), p.data) << p.what;
        joined.insert(joined.end(), stream.begin(), stream.end());
        expected += p.data;
    }
    joined.insert(joined.end(), {0x03, 0x00});
    EXPECT_TRUE(rawInflate(joined) == expected);
}

TEST(DeflateJoin, WhatIsNotACompleteStreamIsLeftAlone) {
    const Bytes whole = rawDeflate(test::patterned(50000, 7), 6, Z_DEFAULT_STRATEGY);
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"cut short", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() / 2))},
        {"stored length unchecked", Bytes{0x01, 0x05, 0x00, 0x00, 0x00, 'a', 'b', 'c', 'd', 'e'}},
        {"no last block", Bytes{0x00, 0x01, 0x00, 0xFE, 0xFF, 'a'}},
        {"empty", Bytes()},
        {"block type 3", Bytes{0x07, 0x00}},
    };
    for (const auto& [what, stream] : cases) {
        Bytes copy = stream;
        EXPECT_FALSE(archive::makeContinuable(copy)) << what;
        EXPECT_TRUE(copy == stream) << what;
    }
}

}  // namespace
}  // namespace kelvora
