// The wizard tests' main: a QApplication on the offscreen platform around the GoogleTest run.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/theme.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    kelvora::ui::installApplicationFont();
    kelvora::ui::applyStyle(kelvora::ui::Style::Luna);
    return RUN_ALL_TESTS();
}
