// The first bytes of a file, as format checks read them: the same on every platform.
#include "platform/platform.h"

namespace kelvora::platform {

std::optional<std::string> readFileStart(std::string_view path, std::size_t count) {
    try {
        File file = File::openRead(path, Share::DenyNone);
        std::string head(count, '\0');
        std::size_t got = 0;
        while (got < head.size()) {
            const std::size_t n = file.read(head.data() + got, head.size() - got);
            if (n == 0)
                break;
            got += n;
        }
        head.resize(got);
        return head;
    } catch (const SystemError&) {
        return std::nullopt;
    }
}

}  // namespace kelvora::platform
