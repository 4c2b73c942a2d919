#include "update/web_update.h"

#include <charconv>
#include <limits>

#include "core/core.h"
#include "core/error.h"
#include "core/text.h"
#include "platform/platform.h"
#include "update/sha256.h"

namespace kelvora::update {

namespace {

constexpr std::string_view kMetaName = "META NAME";
constexpr std::string_view kContent = "content=";
constexpr std::size_t kLongestValue = 254;

std::size_t findIgnoreCase(std::string_view text, std::string_view what) {
    for (std::size_t i = 0; i + what.size() <= text.size(); ++i) {
        if (startsWithIgnoreCase(text.substr(i), what))
            return i;
    }
    return std::string_view::npos;
}

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The text from `start` up to the next double quote, when that quote is among the 255 characters
// from `start`; empty otherwise.
std::string quoted(std::string_view line, std::size_t start) {
    if (start > line.size())
        return {};
    const std::string_view window = line.substr(start, kLongestValue + 1);
    const auto quote = window.find('"');
    return quote == std::string_view::npos ? std::string() : std::string(window.substr(0, quote));
}

// A decimal integer, 0 when the text is not one.
long long integerOrZero(std::string_view text) {
    long long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return (error == std::errc() && end == last && first != last) ? value : 0;
}

std::optional<double> number(std::string_view text) {
    text = trimSpaces(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// UTF-8 to UTF-16 code units; invalid bytes become U+FFFD.
std::u16string utf16(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        int extra = byte < 0x80         ? 0
                    : (byte >> 5) == 6  ? 1
                    : (byte >> 4) == 14 ? 2
                    : (byte >> 3) == 30 ? 3
                                        : -1;
        char32_t cp = extra == 0 ? byte : extra == 1 ? byte & 0x1f : extra == 2 ? byte & 0x0f : byte & 0x07;
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xc0) == 0x80;
            cp = (cp << 6) | (next & 0x3f);
        }
        if (!valid || cp > 0x10ffff) {
            out.push_back(u'\xfffd');
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xd800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xdc00 + (cp & 0x3ff)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 32 ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

std::string lowerHex(std::string_view text) {
    std::string out;
    for (const char c : trimSpaces(text))
        out += lowerAscii(c);
    return out;
}

// The address `address` was split from, with its host.
std::string joinAddress(const TAddress& address) {
    std::string text = address.https ? "https://" : "http://";
    text += address.host;
    if (address.port) {
        text += ':';
        text += std::to_string(*address.port);
    }
    text += address.path;
    return text;
}

}  // namespace

// ---- Free functions -------------------------------------------------------------------------

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

namespace {

TPageValues ParseLines(const std::vector<std::string>& lines, const TTagInfo& tags) {
    TPageValues values;
    for (const std::string& line : lines) {
        const auto meta = line.find(kMetaName);
        if (meta == std::string::npos)
            continue;
        // META NAME="name" ... CONTENT="value"
        const std::string name = quoted(line, meta + kMetaName.size() + 2);
        const auto content = findIgnoreCase(line, kContent);
        const std::string value =
            content == std::string_view::npos ? std::string() : quoted(line, content + kContent.size() + 1);
        const std::pair<const std::string&, std::string&> fields[] = {
            {tags.ProductName, values.ProductName},
            {tags.Version, values.Version},
            {tags.Download, values.Download},
            {tags.ClientFileName, values.ClientFileName},
            {tags.RunParameters, values.RunParameters},
            {tags.Redirection, values.Redirection},
            {tags.Author, values.Author},
            {tags.Email, values.Email},
            {tags.SHA256, values.SHA256},
        };
        for (const auto& [tag, field] : fields) {
            if (!name.empty() && name == tag)
                field = value;
        }
    }
    return values;
}

}  // namespace

TPageValues ParseUpdatePage(std::string_view page, const TTagInfo& tags) {
    return ParseLines(SplitLines(page), tags);
}

bool IsNewerVersion(TVersionFormat format, std::string_view current, std::string_view offered) {
    switch (format) {
        case vfString:
            return utf16(current) < utf16(offered);
        case vfNumber: {
            const auto a = number(current);
            const auto b = number(offered);
            return a && b && *b > *a;
        }
        case vfStandard:
            break;
    }
    // Part by part; when the offered text runs out first its last part meets the rest of the
    // current one, and a current text that runs out ends the comparison as "not newer".
    for (;;) {
        const auto currentDot = current.find('.');
        const auto offeredDot = offered.find('.');
        const long long a = integerOrZero(current.substr(0, currentDot));
        const long long b = integerOrZero(offered.substr(0, offeredDot));
        if (b > a)
            return true;
        if (b < a)
            return false;
        if (currentDot == std::string_view::npos)
            return false;
        current.remove_prefix(currentDot + 1);
        if (offeredDot != std::string_view::npos)
            offered.remove_prefix(offeredDot + 1);
    }
}

TAddress SplitAddress(std::string_view address) {
    TAddress result;
    bool schemed = true;
    if (startsWithIgnoreCase(address, "https://")) {
        result.https = true;
        address.remove_prefix(8);
    } else if (startsWithIgnoreCase(address, "http://")) {
        address.remove_prefix(7);
    } else {
        schemed = false;
    }
    const auto slash = address.find('/');
    if (slash == std::string_view::npos && !schemed) {
        result.path = std::string(address);
        return result;
    }
    std::string_view host = address.substr(0, slash);
    result.path = slash == std::string_view::npos ? "/" : std::string(address.substr(slash));
    if (const auto colon = host.rfind(':'); colon != std::string_view::npos) {
        const std::string_view digits = host.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (!digits.empty() && error == std::errc() && end == digits.data() + digits.size() && port > 0 &&
            port <= 65535) {
            result.port = static_cast<std::uint16_t>(port);
            host = host.substr(0, colon);
        }
    }
    result.host = std::string(host);
    return result;
}

TAddress ResolveAddress(const TAddress& page, TAddress address) {
    if (!address.host.empty())
        return address;
    address.https = page.https;
    address.host = page.host;
    address.port = page.port;
    if (!address.path.starts_with('/')) {
        // The page's folder: its path up to the last "/" before any query.
        const std::string_view path = std::string_view(page.path).substr(0, page.path.find_first_of("?#"));
        const auto slash = path.rfind('/');
        address.path =
            (slash == std::string_view::npos ? std::string("/") : std::string(path.substr(0, slash + 1))) +
            address.path;
    }
    return address;
}

void TProductInfo::SetURL(std::string_view url) {
    if (startsWithIgnoreCase(url, "http://") || startsWithIgnoreCase(url, "https://"))
        url_ = std::string(url);
    else
        url_ = "http://" + std::string(url);
}

// ---- TWebUpdate -----------------------------------------------------------------------------

// Where a transfer's body goes: a string in memory, or a file written under a temporary name
// (the file's name + ".part") and put in place only when it is complete and matches its digest.
struct TWebUpdate::Sink {
    const std::string* fileName = nullptr;  // null: into memory
    std::string memory;
    platform::File file;
    std::string partName;
    bool partMade = false;  // the temporary file exists and is this transfer's
    Sha256 hash;

    void open() {
        if (!fileName)
            return;
        partName = *fileName + ".part";
        try {
            file = platform::File::create(partName);
        } catch (const std::exception& e) {
            throw Error(Format("Cannot create %s: %s", fileName->c_str(), e.what()));
        }
        partMade = true;
    }
    void write(const char* data, std::size_t size) {
        if (!fileName) {
            if (memory.size() + size > kMaxPageSize)
                throw Error("The update page is larger than 4 MiB");
            memory.append(data, size);
            return;
        }
        hash.update(data, size);
        try {
            file.write(data, size);
        } catch (const std::exception& e) {
            throw Error(Format("Cannot write %s: %s", fileName->c_str(), e.what()));
        }
    }
    // Ends the writing of a complete file; returns its SHA-256.
    std::string finish() {
        try {
            file.close();
        } catch (const std::exception& e) {
            throw Error(Format("Cannot write %s: %s", fileName->c_str(), e.what()));
        }
        return hash.finishHex();
    }
    // Puts the complete, verified file in place.
    void commit() {
        if (!platform::replaceFile(partName, *fileName))
            throw Error(Format("Cannot replace %s", fileName->c_str()));
        partMade = false;
    }
    // Removes the temporary file of a transfer that did not end in place, leaving any earlier file
    // of the name whole.
    void discard() {
        if (!partMade)
            return;
        if (file.isOpen()) {
            try {
                file.close();
            } catch (const std::exception&) {
            }
        }
        platform::removeFile(partName);
        partMade = false;
    }
};

TWebUpdate::~TWebUpdate() {
    Abort();
}

void TWebUpdate::Fail(std::string reason) {
    if (lastError_.empty())
        lastError_ = std::move(reason);
}

TaskResult TWebUpdate::CheckForAnUpdate() {
    if (active_)
        return TaskResult::nothingDone(kBusyMessage);
    active_ = true;
    struct ClearActive {
        bool& flag;
        ~ClearActive() { flag = false; }
    } clearActive{active_};

    lastError_.clear();
    verification_ = TVerification::NotChecked;
    downloadFileName_.clear();
    if (!HasUpdatePage())
        return TaskResult::failed(kNoUpdatePageMessage);
    pageAddress_.clear();
    page_.Redirection.clear();
    const auto failed = [this] { return TaskResult::failed(lastError_); };

    DoBeforeGetInfo();
    bool read = ReadInfo();
    DoAfterGetInfo();
    if (page_.ProductName.empty() || page_.Version.empty()) {
        Fail("The update page names no product or version");
        DoDownloadError();
        read = false;
    }
    if (!read)
        return failed();
    if (!CompareVersions())
        return TaskResult::nothingDone(kNoUpdateMessage);

    bool canUpdate = true;
    if (OnUpdateAvailable)
        OnUpdateAvailable(*this, ProductInfo.Version, page_.Version, canUpdate);
    if (!canUpdate || !ShowInformation())
        return TaskResult::nothingDone(kDeclinedMessage);
    if (!DownloadUpdate())
        return failed();
    if (!Options.contains(uoRunUpdate))
        return TaskResult::done();

    if (!Execute(downloadFileName_, page_.RunParameters)) {
        Fail(Format("Cannot start %s", downloadFileName_.c_str()));
        DoCannotExecute();
        return failed();
    }
    if (Options.contains(uoTerminate))
        Terminate();
    return TaskResult::done();
}

TAddress TWebUpdate::Target(const std::string& address) {
    TAddress target = SplitURL(address);
    if (!target.host.empty())
        return target;
    // A path from the root belongs to the host of the update page; a plain name sits beside the page
    // that names it.
    const bool relative = !target.path.starts_with('/') && !pageAddress_.empty();
    return ResolveAddress(SplitURL(relative ? pageAddress_ : ProductInfo.URL()), std::move(target));
}

bool TWebUpdate::HasUpdatePage() {
    return !SplitURL(ProductInfo.URL()).host.empty();
}

bool TWebUpdate::ReadInfo() {
    for (int followed = 0;; ++followed) {
        const std::string address = page_.Redirection.empty() ? ProductInfo.URL() : page_.Redirection;
        const std::string redirection = page_.Redirection;
        page_ = TPageValues{};
        page_.Redirection = redirection;
        const TAddress where = Target(address);
        if (Transfer(address, nullptr, false) != Outcome::Succeeded)
            return false;
        pageAddress_ = joinAddress(where);
        page_ = ParseLines(lines_, TagInfo);
        if (page_.Redirection.empty())
            return true;
        if (followed == kMaxRedirections) {
            page_ = TPageValues{};
            Fail(
                Format("The update page %s redirects more than %d times", address.c_str(), kMaxRedirections));
            DoDownloadError();
            return false;
        }
    }
}

bool TWebUpdate::CompareVersions() {
    if (IsNewerVersion(ProductInfo.VersionFormat, ProductInfo.Version, page_.Version))
        return true;
    DoNoUpdateFound();
    return false;
}

bool TWebUpdate::ShowInformation() {
    bool showInfo = true;
    bool checkForUpdate = true;
    if (OnBeforeShowInfo)
        OnBeforeShowInfo(*this, showInfo, checkForUpdate);
    if (!showInfo)
        return true;
    return ShowInfoWindow(page_.Redirection.empty() ? ProductInfo.URL() : page_.Redirection);
}

bool TWebUpdate::ShowInfoWindow(const std::string&) {
    return true;
}

std::string TWebUpdate::GetDownloadFileName() {
    if (!TargetFolder.empty() && platform::directoryExists(TargetFolder))
        return IncludeTrailingBackslash(TargetFolder) + page_.ClientFileName;
    const std::string temp = platform::temporaryDirectory();
    return temp.empty() ? std::string() : IncludeTrailingBackslash(temp) + page_.ClientFileName;
}

TAddress TWebUpdate::SplitURL(const std::string& address) {
    return SplitAddress(address);
}

bool TWebUpdate::Execute(const std::string& fileName, const std::string& parameters) {
    return platform::startFile(fileName, parameters);
}

bool TWebUpdate::DownloadUpdate() {
    // The name comes from the web: it may only name a file inside the target folder.
    if (!isPlainFileName(page_.ClientFileName)) {
        Fail(Format("The update page's client file name \"%s\" is not a plain file name",
                    page_.ClientFileName.c_str()));
        DoDownloadError();
        return false;
    }
    if (page_.Download.empty()) {
        Fail("The update page gives no download address");
        DoDownloadError();
        return false;
    }
    std::string fileName = GetDownloadFileName();
    if (OnGetClientFileName)
        OnGetClientFileName(*this, fileName);
    if (fileName.empty()) {
        Fail("There is no folder to download the update into");
        DoDownloadError();
        return false;
    }
    if (platform::fileExists(fileName)) {
        bool overwrite = Options.contains(uoOverwrite);
        if (OnClientFileExists)
            OnClientFileExists(*this, fileName, overwrite);
        if (!overwrite) {
            Fail(Format("%s exists and may not be replaced", fileName.c_str()));
            DoDownloadError();
            return false;
        }
    }
    downloadFileName_ = fileName;
    DoBeforeDownload(fileName);
    const Outcome outcome = Transfer(page_.Download, &fileName, true);
    DoAfterDownload(fileName);
    if (outcome == Outcome::NotVerified && OnNotVerified)
        OnNotVerified(*this, fileName);
    return outcome == Outcome::Succeeded;
}

TWebUpdate::Outcome TWebUpdate::Transfer(const std::string& address, const std::string* fileName,
                                         bool lengthRequired) {
    Sink sink;
    sink.fileName = fileName;
    const Outcome outcome = RunTransfer(address, sink, lengthRequired, true);
    lastResult_ = outcome == Outcome::Succeeded;
    if (outcome == Outcome::Failed)
        DoDownloadError();
    if (lastResult_ && !fileName)
        lines_ = SplitLines(platform::ansiToUtf8(sink.memory));
    return outcome;
}

bool TWebUpdate::FetchText(const std::string& address, std::string& text) {
    Sink sink;
    if (RunTransfer(address, sink, false, false) != Outcome::Succeeded)
        return false;
    text = std::move(sink.memory);
    return true;
}

TWebUpdate::Outcome TWebUpdate::RunTransfer(const std::string& address, Sink& sink, bool lengthRequired,
                                            bool events) {
    aborting_ = false;
    const TAddress target = Target(address);
    if (target.host.empty()) {
        Fail(Format("Cannot download %s: the address names no host", address.c_str()));
        return Outcome::Failed;
    }

    platform::HttpRequest request;
    request.https = target.https;
    request.host = target.host;
    request.port = target.port ? *target.port : (target.https ? 443 : HTTPPort);
    request.path = target.path;
    request.userName = UserName;
    request.password = Password;
    request.userAgent = "TWebUpdate";

    std::string reason;
    bool opened = false;
    std::uint64_t received = 0;
    platform::HttpHandler handler;
    handler.onResponse = [&](int status, const std::optional<std::string>& contentLength) {
        if (aborting_)
            return false;
        if (status < 200 || status > 299) {
            reason = Format("The server answered %d", status);
            return false;
        }
        if (contentLength) {
            const std::string_view text = trimSpaces(*contentLength);
            std::uint64_t length = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
            if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
                reason = Format("The server's Content-Length \"%s\" is not a number", contentLength->c_str());
                return false;
            }
            totalSize_ = length;
        } else if (lengthRequired) {
            reason = "The server gives no Content-Length";
            return false;
        }
        downloadedSize_ = 0;
        sink.open();
        opened = true;
        return true;
    };
    handler.onChunk = [&](const char* data, std::size_t size) {
        if (aborting_)
            return false;
        sink.write(data, size);
        received += size;
        downloadedSize_ += size;
        lastChunkSize_ = size;
        if (events)
            DoDownload(totalSize_, downloadedSize_);
        ProcessMessages();
        return true;
    };

    Outcome outcome = Outcome::Failed;
    try {
        std::string error;
        const auto result = platform::httpGet(request, handler, error);
        if (aborting_) {
            reason = "The transfer was aborted";
            outcome = Outcome::FailedQuietly;
        } else if (result == platform::HttpResult::Failed) {
            reason = error;
        } else if (result == platform::HttpResult::Stopped) {
            outcome = Outcome::Failed;
        } else if (!sink.fileName) {
            if (received > 0)
                outcome = Outcome::Succeeded;
            else
                reason = "The server sent no data";
        } else if (opened && downloadedSize_ == totalSize_) {
            // Only a file that matches the digest its page gives takes the download's name.
            const std::string digest = sink.finish();
            const std::string expected = lowerHex(page_.SHA256);
            verification_ = expected.empty()     ? TVerification::Missing
                            : expected == digest ? TVerification::Match
                                                 : TVerification::Mismatch;
            if (verification_ == TVerification::Match) {
                sink.commit();
                outcome = Outcome::Succeeded;
            } else {
                reason = verification_ == TVerification::Missing
                             ? Format("The update page gives no SHA-256 for %s, so the download was removed",
                                      sink.fileName->c_str())
                             : Format(
                                   "The download does not match the SHA-256 the update page gives for %s, "
                                   "so it was removed",
                                   sink.fileName->c_str());
                outcome = Outcome::NotVerified;
            }
        } else {
            reason = Format("%llu of %llu bytes arrived", static_cast<unsigned long long>(downloadedSize_),
                            static_cast<unsigned long long>(totalSize_));
        }
    } catch (const std::exception& e) {
        reason = e.what();
        outcome = Outcome::FailedQuietly;
    }
    if (outcome != Outcome::Succeeded) {
        sink.discard();
        Fail(outcome == Outcome::NotVerified
                 ? reason
                 : Format("Cannot download %s: %s", address.c_str(), reason.c_str()));
    }
    return outcome;
}

// ---- Event dispatchers ----------------------------------------------------------------------

void TWebUpdate::DoDownload(std::uint64_t total, std::uint64_t downloaded) {
    if (OnDownload)
        OnDownload(*this, total, downloaded);
}
void TWebUpdate::DoDownloadError() {
    if (OnDownloadError)
        OnDownloadError(*this);
}
void TWebUpdate::DoBeforeDownload(const std::string& fileName) {
    if (OnBeforeDownload)
        OnBeforeDownload(*this, fileName);
}
void TWebUpdate::DoAfterDownload(const std::string& fileName) {
    if (OnAfterDownload)
        OnAfterDownload(*this, fileName);
}
void TWebUpdate::DoNoUpdateFound() {
    if (OnNoUpdateFound)
        OnNoUpdateFound(*this);
}
void TWebUpdate::DoAfterGetInfo() {
    if (OnAfterGetInfo)
        OnAfterGetInfo(*this);
}
void TWebUpdate::DoBeforeGetInfo() {
    if (OnBeforeGetInfo)
        OnBeforeGetInfo(*this);
}
void TWebUpdate::DoCannotExecute() {
    if (OnCannotExecute)
        OnCannotExecute(*this);
}

}  // namespace kelvora::update
