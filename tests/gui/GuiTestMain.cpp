// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtPolishTexts.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Windows are real but drawn nowhere, so the tests need no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    // As in the program, so that the tests see the toolkit's texts the operator sees; a test of the
    // main window fails when the translation is missing.
    hz70::InstallPolishQtTexts(application);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
