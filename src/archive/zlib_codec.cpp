#include "archive/zlib_codec.h"

#include "core/error.h"

namespace kelvora::archive {

std::string zlibMessage(int code) {
    switch (code) {
        case Z_ERRNO:
            return "zlib returned: ERRNO";
        case Z_STREAM_ERROR:
            return "zlib returned: Stream error";
        case Z_DATA_ERROR:
            return "zlib returned: data error";
        case Z_MEM_ERROR:
            return "zlib returned: memory error";
        case Z_BUF_ERROR:
            return "zlib returned: buffer error";
        case Z_VERSION_ERROR:
            return "zlib returned: version error";
        default:
            return Format("zLib returned: unknown error (%d)", code);
    }
}

int zlibCheck(int code) {
    if (code < 0)
        throw Error(zlibMessage(code));
    return code;
}

Deflater::Deflater(int level, bool rawDeflate) {
    zlibCheck(deflateInit2(&z_, level, Z_DEFLATED, rawDeflate ? -15 : 15, 8, Z_DEFAULT_STRATEGY));
}

Deflater::~Deflater() {
    deflateEnd(&z_);
}

Inflater::Inflater() {
    zlibCheck(inflateInit2(&z_, 15));
}

Inflater::~Inflater() {
    inflateEnd(&z_);
}

}  // namespace kelvora::archive
