// The full backup and restore of a browser: its whole data folder packed into one archive with a
// fixed name, and unpacked over the data folder found on the machine where it is restored. Written
// once for every browser of browser.h; the per-browser values are in its descriptor.
//
// A front end keeps one full::State per wizard window. It copies its widgets into the state (the
// backup-location edit and Opera's name edit), calls activate() when the window becomes active and
// backup() or restore() on "Next >", and copies the state back (title, the name edit's visibility,
// "Finish", the file label and the bar). While a task runs, the bar and the label also go to the
// Host as they change. Errors that end a task are thrown as kelvora::Error (or
// platform::SystemError) with the text the error box shows; the state then keeps the bar and
// label as they last were and "Finish" stays hidden.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "browsers/browser.h"
#include "browsers/host.h"
#include "core/result.h"

namespace kelvora::browsers::full {

// The texts the full wizards show.
inline constexpr const char* kLocationPrompt = "Backup location:";
inline constexpr const char* kSelectLocation = "Please Select Backup Location";
inline constexpr const char* kNotFound = "Settings Files Not Found.";
inline constexpr const char* kOperaTypeName = "Settings Files Not Found. Please Type Folder Name.";
inline constexpr const char* kOperaRecheckName = "Settings Files Not Found. Please Re-Check Folder Name.";
inline constexpr const char* kOperaInstruction =
    "Please enter Opera browser installation directory name. For example: if your browser is "
    "installed in C:\\Program Files\\Opera 10, just type \"Opera 10\" (without quotes and/or slash).";
inline constexpr const char* kFinished = "Finished";

struct State {
    Task task = Task::Backup;

    // ---- What the window shows ----
    std::string caption;  // window caption, "Backup Firefox Web Browser"
    std::string title;    // title label, set on every activation
    std::string backupLocationText = kLocationPrompt;
    std::string operaNameText;      // Opera's name edit
    bool operaNameVisible = false;  // Opera's instruction and name edit; once shown they stay
    bool finishVisible = false;
    std::string fileLabel;  // lblFilename
    int barPosition = 0;
    int barMaximum = 100;

    // ---- The wizard's fields ----
    // Where activation and Opera's name search read the environment facts: the machine's own,
    // unless a test gives a machine of its own.
    std::function<EnvironmentFacts()> readFacts = readEnvironmentFacts;
    EnvironmentFacts facts;               // read on activation (Opera: again for a typed name)
    std::vector<std::string> candidates;  // kept between activations, as the window keeps them
    std::string dataRoot;                 // ffpath: the folder packed whole, no trailing "\"
    std::string mailFolder;               // Opera 10's mdir: loc + "\Opera\" + name + "\mail"
};

// A new window's state: caption and title of the task.
State makeState(const Browser& browser, Task task);

// Activation: sets the title, hides "Finish", reads the machine's facts and searches the data root.
void activate(const Browser& browser, State& state, Host& host);

// "Next >" of the backup and of the restore window. Neither packs nor unpacks anything unless a
// data root was found: without one they say so and end with "nothing done". A backup asks before
// it replaces an existing archive and writes none for a data folder without files.
TaskResult backup(const Browser& browser, State& state, Host& host);
TaskResult restore(const Browser& browser, State& state, Host& host);

// True for a browser whose full wizard asks for its installation folder's name when its data is
// not found (Opera 10).
inline bool asksInstallName(const Browser& browser) {
    return !browser.installName.empty();
}

}  // namespace kelvora::browsers::full
