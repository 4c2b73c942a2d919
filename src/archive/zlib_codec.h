// zlib streams as the archive stores them: one complete zlib-wrapped stream per file (window bits
// 15, memory level 8, default strategy), with zlib's error codes turned into the messages users see.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvora::archive {

// "zlib returned: data error" and its kin, for a zlib result code below zero.
std::string zlibMessage(int code);
// Throws kelvora::Error with zlibMessage(code) when code is an error; returns code otherwise.
int zlibCheck(int code);

// A deflate stream in the archive's parameters. `rawDeflate` leaves out the zlib header and
// trailer (used for the blocks of a file compressed in parallel).
class Deflater {
  public:
    explicit Deflater(int level, bool rawDeflate = false);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    z_stream& stream() { return z_; }
    void reset() { zlibCheck(deflateReset(&z_)); }

  private:
    z_stream z_{};
};

class Inflater {
  public:
    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    z_stream& stream() { return z_; }
    void reset() { zlibCheck(inflateReset(&z_)); }

  private:
    z_stream z_{};
};

}  // namespace kelvora::archive
