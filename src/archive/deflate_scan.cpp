#include "archive/deflate_scan.h"

#include <array>
#include <bit>
#include <cstring>

namespace kelvora::archive {

namespace {

// Bits in the order deflate packs them: from the low bit of each byte up. Reading past the end
// yields zeros and is noticed by overrun().
class BitReader {
  public:
    BitReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    std::uint32_t peek(unsigned bits) {
        if (count_ < bits)
            refill();
        return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << bits) - 1));
    }
    void drop(unsigned bits) {
        buffer_ >>= bits;
        count_ -= bits;
    }
    std::uint32_t take(unsigned bits) {
        const std::uint32_t value = peek(bits);
        drop(bits);
        return value;
    }
    void ensure(unsigned bits) {
        if (count_ < bits)
            refill();
    }
    void alignToByte() { drop(count_ % 8); }
    // Skips whole bytes; the reader must be aligned.
    void skipBytes(std::size_t bytes) {
        while (bytes > 0 && count_ >= 8) {
            drop(8);
            --bytes;
        }
        if (bytes > 0) {
            position_ += bytes;
            buffer_ = 0;  // what a wide refill read beyond the counted bits lies behind now
        }
    }
    std::uint64_t consumed() const { return std::uint64_t{position_} * 8 - count_; }
    bool overrun() const { return consumed() > std::uint64_t{size_} * 8; }

  private:
    void refill() {
        if constexpr (std::endian::native == std::endian::little) {
            // Eight bytes at once where there are eight; the buffer then holds 56 to 63 bits.
            if (position_ + 8 <= size_) {
                std::uint64_t word = 0;
                std::memcpy(&word, data_ + position_, 8);
                buffer_ |= word << count_;
                position_ += (63 - count_) >> 3;
                count_ |= 56;
                return;
            }
        }
        while (count_ <= 56) {
            const std::uint64_t byte = position_ < size_ ? data_[position_] : 0;
            ++position_;
            buffer_ |= byte << count_;
            count_ += 8;
        }
    }

    const unsigned char* data_;
    std::size_t size_;
    std::size_t position_ = 0;
    std::uint64_t buffer_ = 0;
    unsigned count_ = 0;
};

// A canonical Huffman code: codes of up to kTableBits bits through one table look-up, longer ones
// bit by bit. A symbol's extra bits (the length or distance bits that follow its code) may be given
// too: reading the symbol then passes over them as well.
class Huffman {
  public:
    static constexpr unsigned kTableBits = 11;

    // False for a code that is over-subscribed, or has no symbols unless `mayBeEmpty` (a block
    // without matches needs no distance code).
    bool build(const std::uint8_t* lengths, unsigned symbols, bool mayBeEmpty = false,
               const std::uint8_t* extra = nullptr, unsigned extraFrom = 0, unsigned extraCount = 0) {
        extra_ = extra;
        extraFrom_ = extraFrom;
        extraCount_ = extraCount;
        counts_.fill(0);
        for (unsigned s = 0; s < symbols; ++s)
            ++counts_[lengths[s]];
        if (counts_[0] == symbols && !mayBeEmpty)
            return false;
        int left = 1;
        for (unsigned len = 1; len <= 15; ++len) {
            left = left * 2 - counts_[len];
            if (left < 0)
                return false;
        }
        std::array<std::uint16_t, 16> offsets{};
        for (unsigned len = 1; len < 15; ++len)
            offsets[len + 1] = static_cast<std::uint16_t>(offsets[len] + counts_[len]);
        for (unsigned s = 0; s < symbols; ++s) {
            if (lengths[s] != 0)
                sorted_[offsets[lengths[s]]++] = static_cast<std::uint16_t>(s);
        }
        table_.fill(0);
        unsigned code = 0;
        unsigned index = 0;
        for (unsigned len = 1; len <= 15; ++len) {
            for (unsigned i = 0; i < counts_[len]; ++i, ++code, ++index) {
                if (len > kTableBits)
                    continue;
                unsigned reversed = 0;
                for (unsigned b = 0; b < len; ++b)
                    reversed |= ((code >> b) & 1u) << (len - 1 - b);
                const unsigned symbol = sorted_[index];
                const auto entry = static_cast<std::uint16_t>(symbol << 5 | (len + extraBits(symbol)));
                for (unsigned fill = reversed; fill < (1u << kTableBits); fill += 1u << len)
                    table_[fill] = entry;
            }
            code <<= 1;
        }
        return true;
    }

    // The next symbol, its code and extra bits passed over; -1 for a code that means nothing.
    // The reader must hold enough bits for both (32 at most).
    int read(BitReader& in) const {
        if (const std::uint16_t entry = table_[in.peek(kTableBits)]; entry != 0) {
            in.drop(entry & 31u);
            return entry >> 5;
        }
        int code = 0;
        int first = 0;
        int index = 0;
        for (unsigned len = 1; len <= 15; ++len) {
            code |= static_cast<int>(in.take(1));
            const int count = counts_[len];
            if (code - count < first) {
                const unsigned symbol = sorted_[static_cast<std::size_t>(index + (code - first))];
                in.take(extraBits(symbol));
                return static_cast<int>(symbol);
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

  private:
    unsigned extraBits(unsigned symbol) const {
        return extra_ && symbol >= extraFrom_ && symbol - extraFrom_ < extraCount_
                   ? extra_[symbol - extraFrom_]
                   : 0;
    }

    const std::uint8_t* extra_ = nullptr;
    unsigned extraFrom_ = 0;
    unsigned extraCount_ = 0;
    std::array<std::uint16_t, 16> counts_{};
    std::array<std::uint16_t, 288> sorted_{};
    std::array<std::uint16_t, 1u << kTableBits> table_{};
};

constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Walks the symbols of one Huffman-coded block up to its end-of-block code. The codes are built
// with their extra bits (buildCodes), so a match is two look-ups.
bool skipCodes(BitReader& in, const Huffman& literals, const Huffman& distances) {
    while (true) {
        in.ensure(32);  // a length code with its extra bits takes 20 at most
        const int symbol = literals.read(in);
        if (symbol < 256) {
            if (symbol < 0)
                return false;
            continue;
        }
        if (symbol == 256)
            return !in.overrun();
        if (symbol > 285)
            return false;
        in.ensure(32);  // a distance code with its extra bits takes 28 at most
        const int distance = distances.read(in);
        if (distance < 0 || distance >= 30 || in.overrun())
            return false;
    }
}

bool buildCodes(Huffman& literals, const std::uint8_t* literalLengths, unsigned literalCount,
                Huffman& distances, const std::uint8_t* distanceLengths, unsigned distanceCount) {
    return literals.build(literalLengths, literalCount, false, kLengthExtra.data(), 257, 29) &&
           distances.build(distanceLengths, distanceCount, true, kDistanceExtra.data(), 0, 30);
}

bool readDynamicCodes(BitReader& in, Huffman& literals, Huffman& distances) {
    static constexpr std::array<std::uint8_t, 19> order = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};
    const unsigned literalCount = in.take(5) + 257;
    const unsigned distanceCount = in.take(5) + 1;
    const unsigned lengthCount = in.take(4) + 4;
    if (literalCount > 286 || distanceCount > 30)
        return false;
    std::array<std::uint8_t, 19> codeLengths{};
    for (unsigned i = 0; i < lengthCount; ++i)
        codeLengths[order[i]] = static_cast<std::uint8_t>(in.take(3));
    Huffman lengthCode;
    if (!lengthCode.build(codeLengths.data(), 19))
        return false;
    std::array<std::uint8_t, 286 + 30> lengths{};
    const unsigned total = literalCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        in.ensure(32);
        const int symbol = lengthCode.read(in);
        if (symbol < 0)
            return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        unsigned repeat = 0;
        if (symbol == 16) {
            if (i == 0)
                return false;
            value = lengths[i - 1];
            repeat = 3 + in.take(2);
        } else if (symbol == 17) {
            repeat = 3 + in.take(3);
        } else {
            repeat = 11 + in.take(7);
        }
        if (i + repeat > total)
            return false;
        while (repeat-- > 0)
            lengths[i++] = value;
    }
    if (lengths[256] == 0 || in.overrun())
        return false;
    return buildCodes(literals, lengths.data(), literalCount, distances, lengths.data() + literalCount,
                      distanceCount);
}

}  // namespace

std::optional<DeflateBounds> scanDeflate(const unsigned char* data, std::size_t size) {
    BitReader in(data, size);
    Huffman literals;
    Huffman distances;
    while (true) {
        const std::uint64_t start = in.consumed();
        const bool last = in.take(1) != 0;
        const unsigned type = in.take(2);
        if (type == 0) {
            in.alignToByte();
            const std::uint32_t length = in.take(16);
            if ((length ^ in.take(16)) != 0xFFFF)
                return std::nullopt;
            in.skipBytes(length);
        } else if (type == 1) {
            std::array<std::uint8_t, 288> fixed{};
            for (unsigned s = 0; s < 288; ++s)
                fixed[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
            std::array<std::uint8_t, 30> fixedDistances{};
            fixedDistances.fill(5);
            if (!buildCodes(literals, fixed.data(), 288, distances, fixedDistances.data(), 30) ||
                !skipCodes(in, literals, distances))
                return std::nullopt;
        } else if (type == 2) {
            if (!readDynamicCodes(in, literals, distances) || !skipCodes(in, literals, distances))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (in.overrun())
            return std::nullopt;
        if (last)
            return DeflateBounds{start, in.consumed()};
    }
}

bool makeContinuable(Bytes& stream) {
    const std::optional<DeflateBounds> bounds = scanDeflate(stream.data(), stream.size());
    if (!bounds)
        return false;
    stream[bounds->lastBlockBit / 8] &= static_cast<unsigned char>(~(1u << (bounds->lastBlockBit % 8)));
    stream.resize(static_cast<std::size_t>((bounds->endBit + 7) / 8));
    // An empty stored block: three zero header bits where the stream ended, zeros up to the byte
    // boundary, then its length 0 and the length's complement.
    const unsigned used = static_cast<unsigned>(bounds->endBit % 8);
    if (used != 0)
        stream.back() &= static_cast<unsigned char>((1u << used) - 1);
    if (used == 0 || used > 5)
        stream.push_back(0);
    stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

}  // namespace kelvora::archive
