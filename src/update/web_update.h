// TWebUpdate: reads the maker's update page, compares the version it offers with the program's own,
// and downloads (and starts) the new setup program, with events through which the owner takes part
// in every step. The owner supplies the windows: the information window and the start of a program
// are overridable steps, so this library stays free of any user interface.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/result.h"

namespace kelvora::update {

enum TVersionFormat { vfStandard, vfString, vfNumber };

enum TUpdateOption {
    uoRunUpdate,  // start the downloaded file
    uoTerminate,  // end the program after starting it
    uoOverwrite,  // replace an existing file of the download's name
};

class TUpdateOptions {
  public:
    TUpdateOptions() = default;
    TUpdateOptions(std::initializer_list<TUpdateOption> options) {
        for (const auto option : options)
            bits_ |= bit(option);
    }
    bool contains(TUpdateOption option) const { return (bits_ & bit(option)) != 0; }

  private:
    static unsigned bit(TUpdateOption option) { return 1u << static_cast<unsigned>(option); }
    unsigned bits_ = 0;
};

// The address of the current version's update page and how versions are compared.
class TProductInfo {
  public:
    const std::string& URL() const { return url_; }
    // Puts "http://" in front unless the address already starts with "http://" or "https://".
    void SetURL(std::string_view url);

    std::string Version = "1.0";
    TVersionFormat VersionFormat = vfStandard;

  private:
    std::string url_ = "http://";
};

// The names of the tags read from the update page.
struct TTagInfo {
    std::string ProductName = "wuProduct";
    std::string Version = "wuVersion";
    std::string Download = "wuDownload";
    std::string ClientFileName = "wuClientSideName";
    std::string RunParameters = "wuRunParameters";
    std::string Redirection = "wuRedirection";
    std::string Author = "wuAuthor";
    std::string Email = "wuEmail";
    // The SHA-256 of the download, 64 hexadecimal digits: a download without a match is removed.
    std::string SHA256 = "wuSHA256";
};

struct TInfoCaption {
    std::string OkButton = "&OK";
    std::string CancelButton = "&Cancel";
    std::string CheckForUpdate = "C&heck for updates in the future";
};

// The values of one update page.
struct TPageValues {
    std::string ProductName;
    std::string Version;
    std::string Download;
    std::string ClientFileName;
    std::string RunParameters;
    std::string Redirection;
    std::string Author;
    std::string Email;
    std::string SHA256;
};

// Reads the tags of an update page: a line holding the exact text META NAME carries the tag named
// after META NAME=" up to the next double quote, with the value after the first CONTENT=" (any case)
// up to the next double quote; a name or value of more than 254 characters reads as empty. Lines
// end at CR, LF or CR LF; of several lines with the same tag the last one wins. Unknown tags are
// skipped.
TPageValues ParseUpdatePage(std::string_view page, const TTagInfo& tags);
// The page's text split into lines as the tag reading sees them.
std::vector<std::string> SplitLines(std::string_view text);

// True when `offered` is newer than `current` in the given format.
bool IsNewerVersion(TVersionFormat format, std::string_view current, std::string_view offered);

// An address split into what a request needs.
struct TAddress {
    bool https = false;
    std::string host;  // empty when the address names none
    std::optional<std::uint16_t> port;
    std::string path;  // the object path, from the first "/" on
};
// "http://" or "https://" (any case) is removed from the front; the host is the text before the
// first "/", with an optional ":port"; the path is the rest. Without any "/" the host is empty
// and the path is the whole text.
TAddress SplitAddress(std::string_view address);
// Where an address of the update page leads, seen from `page` (the address of the page that names
// it): an address with a host stays as it is; one without takes the host of `page`, and a name
// without any "/" (the setup program beside its page) also the folder of `page`'s path, as a
// browser reads a relative link.
TAddress ResolveAddress(const TAddress& page, TAddress address);

// How the downloaded file compares with the page's "wuSHA256".
enum class TVerification { NotChecked, Missing, Match, Mismatch };

// Why a check did nothing, when it ends without an error.
inline constexpr const char* kNoUpdateMessage = "There is no update available!";
inline constexpr const char* kDeclinedMessage = "The update was not wanted, so nothing was downloaded.";
inline constexpr const char* kBusyMessage = "An update check is already running.";
inline constexpr const char* kNoUpdatePageMessage =
    "No update page is configured, so there is nothing to check. Set the environment variable "
    "KELVORA_UPDATE_URL to the update page's address.";

class TWebUpdate {
  public:
    TWebUpdate() = default;
    virtual ~TWebUpdate();
    TWebUpdate(const TWebUpdate&) = delete;
    TWebUpdate& operator=(const TWebUpdate&) = delete;

    // Runs the whole check. Done when an update was downloaded and, with uoRunUpdate, started;
    // nothing done when there is no newer version (kNoUpdateMessage), when OnUpdateAvailable or the
    // information window declined it (kDeclinedMessage) or while a check runs already
    // (kBusyMessage); failed, with the reason, when the page, the download, its verification or the
    // start of the program failed. Without an update page (HasUpdatePage) it fails at once with
    // kNoUpdatePageMessage, fetching nothing and firing no event.
    TaskResult CheckForAnUpdate();
    // Whether ProductInfo.URL names a host to ask: an empty address (none configured) does not.
    bool HasUpdatePage();
    // A running transfer stops at its next check and counts as failed, without OnDownloadError.
    void Abort() { aborting_ = true; }

    // ---- Settings ----
    TProductInfo ProductInfo;
    TTagInfo TagInfo;
    TInfoCaption InfoCaption;
    TUpdateOptions Options{uoRunUpdate, uoTerminate};
    std::string UserName;
    std::string Password;
    std::uint16_t HTTPPort = 80;  // for http addresses that name no port
    std::string TargetFolder;

    // ---- Events ----
    std::function<void(TWebUpdate&)> OnBeforeGetInfo;
    std::function<void(TWebUpdate&)> OnAfterGetInfo;
    std::function<void(TWebUpdate&)> OnNoUpdateFound;
    std::function<void(TWebUpdate&, const std::string& ActualVersion, const std::string& NewVersion,
                       bool& CanUpdate)>
        OnUpdateAvailable;
    std::function<void(TWebUpdate&, bool& ShowInfo, bool& CheckForUpdate)> OnBeforeShowInfo;
    std::function<void(TWebUpdate&, std::string& FileName)> OnGetClientFileName;
    std::function<void(TWebUpdate&, std::string& FileName, bool& Overwrite)> OnClientFileExists;
    std::function<void(TWebUpdate&, const std::string& FileName)> OnBeforeDownload;
    std::function<void(TWebUpdate&, const std::string& FileName)> OnAfterDownload;
    std::function<void(TWebUpdate&, std::uint64_t Total, std::uint64_t Downloaded)> OnDownload;
    std::function<void(TWebUpdate&)> OnDownloadError;
    std::function<void(TWebUpdate&)> OnCannotExecute;
    // The download was removed before it took `FileName`: the page gave no SHA-256 or the file
    // differs from it. An earlier file of that name stays as it was.
    std::function<void(TWebUpdate&, const std::string& FileName)> OnNotVerified;

    // ---- Working state ----
    bool Active() const { return active_; }
    const TPageValues& Page() const { return page_; }
    const std::string& DownloadFileName() const { return downloadFileName_; }
    std::uint64_t TotalSize() const { return totalSize_; }
    std::uint64_t DownloadedSize() const { return downloadedSize_; }
    std::uint64_t LastChunkSize() const { return lastChunkSize_; }
    bool LastTransferSucceeded() const { return lastResult_; }
    const std::vector<std::string>& Lines() const { return lines_; }
    TVerification Verification() const { return verification_; }

    // Follows at most this many "wuRedirection" pages.
    static constexpr int kMaxRedirections = 10;
    // An update page larger than this is refused.
    static constexpr std::size_t kMaxPageSize = 4 * 1024 * 1024;

    // Reads `address` into `text` without firing events; for the information window's view.
    bool FetchText(const std::string& address, std::string& text);

  protected:
    // ---- Overridable steps ----
    virtual void DoDownload(std::uint64_t total, std::uint64_t downloaded);
    virtual void DoDownloadError();
    virtual void DoBeforeDownload(const std::string& fileName);
    virtual void DoAfterDownload(const std::string& fileName);
    virtual void DoNoUpdateFound();
    virtual void DoAfterGetInfo();
    virtual void DoBeforeGetInfo();
    virtual void DoCannotExecute();
    // Steps 1 to 4 of the information window: true when the download may go ahead.
    virtual bool ShowInformation();
    // The window itself, shown modally on `address`: true when closed with OK. Without a user
    // interface there is no window and the download goes ahead.
    virtual bool ShowInfoWindow(const std::string& address);
    virtual std::string GetDownloadFileName();
    virtual TAddress SplitURL(const std::string& address);
    // Starts the downloaded file; false when that failed.
    virtual bool Execute(const std::string& fileName, const std::string& parameters);
    // Ends the program after the setup program was started.
    virtual void Terminate() {}
    // Lets the owner's pending window messages run; called after each received chunk.
    virtual void ProcessMessages() {}

  private:
    struct Sink;
    enum class Outcome { Succeeded, Failed, FailedQuietly, NotVerified };

    // Where a request for `address` goes (ResolveAddress from the right page).
    TAddress Target(const std::string& address);
    bool ReadInfo();
    bool CompareVersions();
    bool DownloadUpdate();
    Outcome Transfer(const std::string& address, const std::string* fileName, bool lengthRequired);
    Outcome RunTransfer(const std::string& address, Sink& sink, bool lengthRequired, bool events);
    void Fail(std::string reason);

    bool active_ = false;
    bool aborting_ = false;
    TPageValues page_;
    std::string downloadFileName_;
    std::uint64_t totalSize_ = 0;
    std::uint64_t downloadedSize_ = 0;
    std::uint64_t lastChunkSize_ = 0;
    bool lastResult_ = false;
    std::vector<std::string> lines_;
    std::string pageAddress_;  // the last update page read, with its host: relative names start there
    TVerification verification_ = TVerification::NotChecked;
    std::string lastError_;  // the first reason the running check failed
};

}  // namespace kelvora::update
