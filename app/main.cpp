// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Hz70main.h"
#include "app/QtPolishTexts.h"
#include "app/TerminationSignals.h"
#include "comm/Clock.h"
#include "comm/PlatformSerialPort.h"
#include "model/Captions.h"
#include "views/Utf8Text.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <filesystem>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(hz70::Text(hz70::kProgramCaption));
    QApplication::setApplicationVersion(QStringLiteral(HZ70_VERSION));
    if (!hz70::InstallPolishQtTexts(application)) {
        qWarning("HZ70wiz: no Polish translation of Qt's own texts (package qt6-translations-l10n)");
    }
    try {
        hz70::PlatformSerialPort port;
        hz70::SteadyClock clock;
        hz70::TOmain window(port, clock, std::filesystem::current_path());
        hz70::TerminationSignals termination(&window);
        window.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, hz70::Text(hz70::kProgramCaption),
                              QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
