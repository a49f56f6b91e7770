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
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: hz70wiz [Qt options]\n"
    "\n"
    "Configures and watches up to eight HZ70 temperature controllers on one RS-485 line as their\n"
    "Modbus master. The link, the controller list and the chart axes are read from HZ70wiz.INI in the\n"
    "working directory and written there: start it in the folder whose settings you want.\n"
    "\n"
    "Options:\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "Qt's own options work as well, e.g. -platform offscreen or -style fusion.\n"
    "See also hz70cli(1) and hz70sim(1).\n";

// --help and --version are answered before Qt starts, so they need no display.
bool AnsweredFromCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (arg == "--version") {
            std::printf("hz70wiz %s\n", HZ70_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AnsweredFromCommandLine(argc, argv)) {
        return 0;
    }
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
