// The GUI tests' main: a QApplication on the offscreen platform around the GoogleTest run.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "platform/platform.h"
#include "ui/theme.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    kelvora::ui::installApplicationFont();
    kelvora::ui::applyStyle(kelvora::ui::Style::Luna);
    // The windows are tested on a Windows folder (an empty one unless a test chooses another), so
    // every browser's commands are there; without one the machine would be this computer.
    std::filesystem::path windows;
    if (kelvora::platform::usesMachineFolder() && qEnvironmentVariableIsEmpty("KELVORA_ROOT")) {
        windows =
            std::filesystem::temp_directory_path() / ("kelvora-gui-tests-" + std::to_string(::getpid()));
        std::filesystem::create_directories(windows / "Users" / "ann");
        kelvora::platform::setMachine({windows.string(), "ann", "6", {}});
    }
#ifdef _WIN32
    // The window tests on Windows put sample machines in the place of the user's folder, where the
    // system keeps temporary files: theirs go beside it, on the same drive.
    const std::filesystem::path temp =
        std::filesystem::temp_directory_path().root_path() / "kelvora-test-temp";
    std::filesystem::create_directories(temp);
    _putenv_s("TMP", temp.string().c_str());
    _putenv_s("TEMP", temp.string().c_str());
#endif
    const int result = RUN_ALL_TESTS();
    if (!windows.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(windows, ec);
    }
    return result;
}
