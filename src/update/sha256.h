// SHA-256 (FIPS 180-4), fed in pieces, for checking a download against the digest its page gives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvora::update {

class Sha256 {
  public:
    Sha256();
    void update(const void* data, std::size_t size);
    void update(std::string_view text) { update(text.data(), text.size()); }
    // The digest of everything fed so far; the object must not be fed afterwards.
    std::array<std::uint8_t, 32> finish();
    // The digest as 64 lower-case hexadecimal digits.
    std::string finishHex();

  private:
    void block(const std::uint8_t* p);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0;  // bytes fed
};

}  // namespace kelvora::update
