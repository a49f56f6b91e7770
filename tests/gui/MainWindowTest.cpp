// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_port.h"
#include "app/core/PollCsv.h"
#include "gui/GuiTestSupport.h"
#include "support/FileText.h"
#include "views/O_barg.h"
#include "views/O_synop.h"
#include "views/O_tabela.h"
#include "views/Ostrefa.h"

#include <QAction>
#include <QBarCategoryAxis>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <csignal>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/resource.h>

namespace hz70::test {
namespace {

using ::testing::ElementsAre;

QStringList Texts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

TEST(MainWindow, FrameActionsMenuAndToolBarAreThoseOfTheProgram) {
    ProgramOnFakeBus program;
    TOmain& main = program.Start();
    EXPECT_EQ(main.windowTitle(), "HZ70wiz");
    EXPECT_EQ(main.Timer1->interval(), 100);
    EXPECT_TRUE(main.Timer1->isActive());

    struct Expected {
        QAction* action;
        const char* category;
        const char* caption;
        const char* hint;
        int image;
    };
    for (const Expected& e : {
             Expected{main.PlikZapiszUst, "Plik", "&Zapisz ustawienia", "Zapisz ustawienia", 0},
             Expected{main.PlikKoniec, "Plik", "&Wyjście", "Koniec", 1},
             Expected{main.OPcjeUstawPort, "Opcje", "&Ustawienia portu...", "Ustawia opcje transmisji", 3},
             Expected{main.OpcjeListaUrz, "Opcje", "&Lista HZ70...", "Konfiguracja listy HZ70", 2},
             Expected{main.OknoKaskada, "Okno", "&Kaskada", "Wyświetla okna kaskadowo", 14},
             Expected{main.OknoSasiad, "Okno", "&Sąsiadująco", "Wyświetla okna sąsiadująco", 15},
             Expected{main.OknoSynop, "Okno", "&Obrazy synoptyczne", "Obrazy synoptyczne", 13},
             Expected{main.OknoTabela, "Okno", "&Tabela", "Tabela", 5},
             Expected{main.OknoBarg, "Okno", "&Bargrafy", "Bargrafy", 6},
             Expected{main.OknoWykres, "Okno", "&Wykresy", "Wykresy", 4},
             Expected{main.PomocOprogramie, "Pomoc", "&O programie...", "O programie", -1},
         }) {
        EXPECT_EQ(e.action->property("category").toString(), QString::fromUtf8(e.category));
        EXPECT_EQ(e.action->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(e.action->toolTip(), QString::fromUtf8(e.hint));
        EXPECT_EQ(e.action->property("imageIndex").toInt(), e.image);
        EXPECT_EQ(e.action->icon().isNull(), e.image < 0) << e.caption;
    }

    QStringList menus;
    for (QAction* menu : main.menuBar()->actions()) {
        menus << menu->text() + ": " + Texts(menu->menu()->actions()).join(QStringLiteral(", "));
    }
    EXPECT_EQ(
        menus,
        QStringList({"Plik: &Zapisz ustawienia, &Rejestruj pomiary do pliku CSV..., -, &Wyjście",
                     "Opcje: &Ustawienia portu..., &Lista HZ70..., &Publikacja MQTT...",
                     "Okno: &Kaskada, &Sąsiadująco, -, &Obrazy synoptyczne, &Wykresy, &Tabela, &Bargrafy, -, "
                     "&Alarmy",
                     "Pomoc: &O programie..."}));

    QStringList tools;
    for (QAction* action : main.ToolBar1()->actions()) {
        tools << (action->text().isEmpty() ? QStringLiteral("|") : action->text());
    }
    EXPECT_EQ(tools, QStringList({"&Obrazy synoptyczne", "&Wykresy", "&Tabela", "&Bargrafy", "|", "&Kaskada",
                                  "&Sąsiadująco", "|", "&Lista HZ70...", "|", "&Wyjście"}));
    EXPECT_EQ(main.ToolBar1()->height(), 33);
}

// Qt's offscreen windows have a 2-pixel frame (and are kept on the screen, so only the size is checked).
TEST(MainWindow, TheWindowsSizeIsThatOfItsOuterFrame) {
    ProgramOnFakeBus program;
    TOmain& main = program.Start();
    main.show();
    QApplication::processEvents();
    EXPECT_EQ(main.frameGeometry().size(), QSize(1032, 746));
    EXPECT_EQ(main.size(), QSize(1028, 742));
}

TEST(MainWindow, RecordingWritesOneLinePerZoneUpdateAndAFailedWriteStopsItWhilePollingGoesOn) {
    ProgramOnFakeBus program({1, 2, 3});
    program.ListZones();
    TOmain& main = program.Start();
    const std::filesystem::path file = program.folder() / "run.csv";
    ASSERT_TRUE(main.StartRecording(file));
    EXPECT_TRUE(main.PlikRejestruj->isChecked());
    EXPECT_TRUE(main.RecordingLabel->text().endsWith(QString::fromStdString(file.string())));
    program.Ticks(61); // 6 s: one zone every two ticks, the first reply a tick after the start
    // The lines reach the file from the recorder's own thread.
    const auto lines = [&file] {
        std::vector<std::string> all;
        std::istringstream text(FileBytes(file));
        for (std::string line; std::getline(text, line);) {
            all.push_back(line);
        }
        return all;
    };
    RunEventsUntil([&lines] { return lines().size() >= 31; }, 5000);
    const std::vector<std::string> written = lines();
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written[0], kPollCsvHeader);
    const auto columns = [](const std::string& line) {
        return std::count(line.begin(), line.end(), ',') + 1;
    };
    std::map<std::string, int> perZone;
    for (std::size_t i = 1; i < written.size(); ++i) {
        ASSERT_EQ(columns(written[i]), columns(kPollCsvHeader)) << written[i];
        std::stringstream fields(written[i]);
        std::string time;
        std::string zone;
        std::string address;
        std::getline(fields, time, ',');
        std::getline(fields, zone, ',');
        std::getline(fields, address, ',');
        ++perZone[zone + "@" + address];
    }
    EXPECT_THAT(perZone, ElementsAre(std::pair<const std::string, int>("1@1", 10),
                                     std::pair<const std::string, int>("2@2", 10),
                                     std::pair<const std::string, int>("3@3", 10)));

    // The file may grow no further (a full disk): the next recorded exchange hears of it, and recording
    // stops with a message, after the tick; polling goes on.
    MessageBoxAnswerer answerer;
    const std::uintmax_t size = std::filesystem::file_size(file);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{static_cast<rlim_t>(size), limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &full);
    for (int tick = 0; tick < 50 && answerer.seen().empty(); ++tick) {
        program.Ticks(1);
        RunEventsUntil([&answerer] { return !answerer.seen().empty(); }, 20);
    }
    ::setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(main.PlikRejestruj->isChecked());
    EXPECT_TRUE(main.RecordingLabel->text().isEmpty());
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_TRUE(answerer.seen()[0].text.contains(QString::fromStdString(file.string())));
    const std::size_t requests = program.bus.requests.size();
    program.Ticks(4);
    EXPECT_EQ(program.bus.requests.size(), requests + 2);
    EXPECT_EQ(std::filesystem::file_size(file), size);
}

TEST(MainWindow, ViewsAreCreatedInOrderAndClosingOneOnlyMinimisesIt) {
    ProgramOnFakeBus program;
    TOmain& main = program.Start();
    QStringList titles;
    for (QMdiSubWindow* child : main.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
        titles << child->windowTitle();
    }
    EXPECT_EQ(titles, QStringList({"Bargrafy", "Tabela", "Wykresy", "Obrazy synoptyczne"}));

    auto* frame = qobject_cast<QMdiSubWindow*>(main.Osynop->parentWidget());
    ASSERT_NE(frame, nullptr);
    frame->close();
    QApplication::processEvents();
    EXPECT_TRUE(frame->isMinimized());
    EXPECT_EQ(main.mdiArea()->subWindowList().size(), 4);
    main.OknoSynop->trigger();
    EXPECT_FALSE(frame->isMinimized());
}

// Tiling fills columns of rows, floor(sqrt(n)) columns of the shown windows, and keeps a strip along the
// bottom for the minimised bars.
TEST(MainWindow, TilingStacksTheShownWindowsAcrossTheWidthAboveTheMinimisedBars) {
    struct Case {
        QStringList minimised;
        QString maximised;
        std::vector<int> windowsPerColumn;
    };
    const std::vector<Case> cases{
        {{}, {}, {2, 2}},
        {{"Tabela"}, {}, {3}},
        {{"Tabela", "Bargrafy"}, {}, {2}},
        {{"Wykresy", "Tabela", "Bargrafy"}, {}, {1}},
        {{}, "Wykresy", {2, 2}},
    };
    ProgramOnFakeBus program;
    TOmain& main = program.Start();
    main.Timer1->stop();
    main.show();
    QApplication::processEvents();
    const QRect area = main.mdiArea()->viewport()->rect();
    for (const Case& c : cases) {
        for (QMdiSubWindow* window : main.mdiArea()->subWindowList()) {
            if (c.minimised.contains(window->windowTitle())) {
                window->showMinimized();
            } else if (c.maximised == window->windowTitle()) {
                window->showMaximized();
            } else {
                window->showNormal();
            }
        }
        main.OknoSasiad->trigger();
        QList<QRect> tiles;
        QList<QRect> bars;
        for (const QMdiSubWindow* window : main.mdiArea()->subWindowList()) {
            (window->isMinimized() ? bars : tiles) << window->geometry();
        }
        std::map<int, int> perColumn;
        int right = 0;
        for (const QRect& tile : tiles) {
            ++perColumn[tile.x()];
            right = std::max(right, tile.right());
            EXPECT_TRUE(area.contains(tile)) << c.windowsPerColumn.size();
            for (const QRect& other : tiles + bars) {
                EXPECT_TRUE(other == tile || !other.intersects(tile)) << c.minimised.join(',').toStdString();
            }
        }
        std::vector<int> columns;
        for (const auto& [x, count] : perColumn) {
            columns.push_back(count);
        }
        EXPECT_EQ(columns, c.windowsPerColumn) << c.minimised.join(',').toStdString();
        EXPECT_GE(right, area.right() - static_cast<int>(columns.size())) << "the whole width is used";
        for (const QRect& bar : bars) {
            EXPECT_TRUE(area.contains(bar));
        }
    }
}

TEST(MainWindow, WithoutASettingsFileStartsOnDefaultsAndWritesNothingUnchanged) {
    ProgramOnFakeBus program;
    {
        TOmain main(program.port, program.clock, program.folder());
        const AppState& state = main.state();
        EXPECT_EQ(state.settings.zones.DevCount, 1);
        EXPECT_EQ(state.devices.size(), 1u);
        EXPECT_EQ(state.devices[0]->record.name, "STREFA  1");
        TTransSettings link;
        main.state().trans.GetSettings(link);
        EXPECT_EQ(link, (TTransSettings{0, 5, 0, 0, 1000}));
        EXPECT_FALSE(state.SettingsChanged);
        EXPECT_TRUE(state.polling.PollingEnabled);
    }
    EXPECT_FALSE(std::filesystem::exists(program.folder() / "HZ70wiz.INI"));
}

TEST(MainWindow, PollTimerVisitsTheZonesInTurnAndAsksOnceAboutAZoneThatStopsAnswering) {
    ProgramOnFakeBus program({1, 2, 3});
    // A name is data, never a format.
    program.ListZones("A;Piec %s%n%1;C;");
    TOmain& main = program.Start();
    main.Timer1->stop(); // the test runs the ticks
    main.show();
    MessageBoxAnswerer answers(QMessageBox::Yes);

    program.Ticks(30);
    for (const auto& device : main.state().devices) {
        EXPECT_EQ(device->record.commError, 0) << device->record.name;
    }
    program.bus.slaves[2].silent = true;
    const int before = program.bus.RequestsTo(1);
    for (int tick = 0; tick < 150; ++tick) {
        program.Ticks(1);
        QApplication::processEvents(); // the question opens from the event loop
    }
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "HZ70");
    EXPECT_EQ(answers.seen()[0].text, "Błąd transmisji.\nWyłączyć monitorowanie Strefy Piec %s%n%1");
    EXPECT_EQ(answers.seen()[0].buttons, QStringList({"&Tak", "&Nie"})); // the toolkit's texts are Polish too
    ASSERT_EQ(main.Osynop->panels().size(), 3u);
    EXPECT_EQ(main.Osynop->panels()[1]->Label1->text(), "Piec %s%n%1");
    EXPECT_EQ(main.state().devices[1]->record.monitoring, 0);
    EXPECT_GT(program.bus.RequestsTo(1), before + 10); // the others go on
    const int toSilentZone = program.bus.RequestsTo(2);
    program.Ticks(30);
    EXPECT_EQ(program.bus.RequestsTo(2), toSilentZone);
}

// The poll cycle takes the unit from the status word; the table and the bar label show it in the poll
// step that read the word.
TEST(MainWindow, TheUnitReachesTheTableAndTheBarLabelInThePollStepThatReadIt) {
    ProgramOnFakeBus program;
    TOmain& main = program.Start();
    main.Timer1->stop();
    main.show();
    const TRegulator& record = main.state().devices[0]->record;
    for (const auto& [status, unit] : {std::pair{0x0100, "°F"}, {0x0000, "°C"}, {0x0100, "°F"}}) {
        program.bus.slaves[1].registers[4019] = static_cast<std::uint16_t>(status);
        for (int tick = 0; tick < 20 && record.measured[kStatusWord].raw != status; ++tick) {
            program.Ticks(1);
        }
        EXPECT_TRUE(TOTabela::Cells(*main.OTabela->StringGrid1, 1, 1).endsWith(QString::fromUtf8(unit)));
        EXPECT_TRUE(main.OBarg->ZoneAxis()->categories().value(0).contains(QString::fromUtf8(unit)));
    }
}

// On the poll timer itself: the question opens after its tick, and the timer goes on under it.
TEST(MainWindow, TheOtherZonesArePolledWhileTheQuestionIsOpen) {
    ProgramOnFakeBus program({1, 2});
    program.ListZones({}, {"Timeout=100"});
    TOmain& main = program.Start();
    program.clock.SetAutoAdvance(100); // time-outs and bus gaps pass within a tick or two
    main.show();
    RunEventsUntil([&main] { return main.state().devices[1]->record.commError == 0; });
    program.bus.slaves[2].silent = true;
    int whileOpen = -1;
    WhenDialogOpens<QMessageBox>([&program, &whileOpen](QMessageBox& box) {
        const int before = program.bus.RequestsTo(1);
        QTimer::singleShot(600, &box, [&program, &whileOpen, &box, before] {
            whileOpen = program.bus.RequestsTo(1) - before;
            box.button(QMessageBox::No)->click();
        });
    });
    RunEventsUntil([&whileOpen] { return whileOpen >= 0; });
    EXPECT_GT(whileOpen, 0) << "requests to the answering zone while the question was open";
    EXPECT_EQ(main.state().devices[1]->record.monitoring, 1);
}

// Identification holds the thread up to a reply time-out per zone, so each zone is named before it is
// asked: at start in a window of its own, later in the status line.
TEST(MainWindow, EachZoneIsNamedBeforeItsIdentification) {
    ProgramOnFakeBus program({1, 2});
    program.ListZones("Piec %2;B;");
    const auto startupText = [] {
        for (const QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == "StartupProgress" && widget->isVisible()) {
                return qobject_cast<const QLabel*>(widget)->text().section(QLatin1Char('\n'), 1);
            }
        }
        return QString();
    };
    TOmain* main = nullptr;
    QStringList shown;
    const auto answer = program.port.onWrite;
    program.port.onWrite = [&](const Bytes& request) {
        if (request.size() > 1 && request[1] == 0x11) {
            shown << (main != nullptr ? main->statusBar()->currentMessage() : startupText());
        }
        answer(request);
    };
    const QStringList expected{"Odczyt sterowników HZ70: strefa 1 z 2 (Piec %2, adres 1)...",
                               "Odczyt sterowników HZ70: strefa 2 z 2 (B, adres 2)..."};
    main = &program.Start();
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(startupText().isEmpty()) << "gone before the main window comes";
    main->show();
    shown.clear();
    main->RebuildDeviceList(); // as the controller list's OK does
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(main->statusBar()->currentMessage().isEmpty());
}

TEST(MainWindow, PortDialogShowsTheLinkAndOkClosesThePortAndStoresTheNewSettings) {
    ProgramOnFakeBus program;
    program.WriteSettingsFile({"Mode=0", "Timeout=1000"});
    {
        TOmain& main = program.Start();
        {
            TOPort dialog(main.state(), &main);
            EXPECT_EQ(dialog.windowTitle(), "Ustawienia portu");
            EXPECT_EQ(dialog.ComboBoxP->currentText(), "COM1");
            EXPECT_EQ(dialog.ComboBoxB->currentText(), "9600");
            EXPECT_EQ(dialog.EditTm->text(), "1000");
            EXPECT_EQ(dialog.ComboBoxT->currentIndex(), 0);
            EXPECT_EQ(dialog.ComboBoxB->count(), 8);
            EXPECT_EQ(dialog.ComboBoxT->itemText(3),
                      "RTU 8N2  - 8 bitów danych, brak bitu parzystości, 2 bity stopu");

            // Letters in the time-out: a message, and nothing changes.
            MessageBoxAnswerer answers;
            dialog.EditTm->setText(QStringLiteral("abc"));
            dialog.Button1->click();
            ASSERT_EQ(answers.seen().size(), 1u);
            EXPECT_EQ(answers.seen()[0].text, "Błędnie wprowadzono dane");
            EXPECT_EQ(answers.seen()[0].title, "HZ70");
            EXPECT_FALSE(main.state().SettingsChanged);
        }
        {
            TOPort dialog(main.state(), &main);
            dialog.ComboBoxP->setCurrentIndex(2);
            dialog.ComboBoxB->setCurrentIndex(6);
            dialog.ComboBoxT->setCurrentIndex(4);
            dialog.EditTm->setText(QStringLiteral("500"));
            dialog.Button1->click();
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
        }
        TTransSettings link;
        main.state().trans.GetSettings(link);
        EXPECT_EQ(link, (TTransSettings{2, 6, 4, 0, 500}));
        EXPECT_TRUE(main.state().trans.portState().isClosed());
        EXPECT_TRUE(main.state().SettingsChanged);
        program.window.reset();
    }
    const std::string file = FileBytes(program.folder() / "HZ70wiz.INI");
    EXPECT_NE(file.find("COM=2\r\nBaud=6\r\nMode=4\r\nType=0\r\nTimeout=500\r\n"), std::string::npos) << file;
}

TEST(MainWindow, StatusLineSaysWhyThePortIsNotOpenAndHowItIsOpenedAgain) {
    ProgramOnFakeBus program;
    program.port.openSucceeds = false;
    program.port.condition = {PortCondition::State::NoPermission, "/dev/ttyUSB0", "dialout", ""};
    TOmain& main = program.Start();
    program.Ticks(1);
    EXPECT_EQ(main.LinkStatusLabel->text(),
              "COM1 (/dev/ttyUSB0): brak uprawnień do portu; dołącz do grupy dialout "
              "i zaloguj się ponownie. Zatwierdź „Ustawienia portu”, aby otworzyć "
              "port ponownie.");
    program.port.openSucceeds = true;
    program.port.condition = {PortCondition::State::Open, "/dev/ttyUSB0", "", ""};
    WhenDialogOpens<TOPort>([](TOPort& dialog) { dialog.Button1->click(); });
    main.OPcjeUstawPort->trigger();
    program.Ticks(1);
    EXPECT_EQ(main.LinkStatusLabel->text(), "COM1 (/dev/ttyUSB0): port otwarty.");

    // The adapter is pulled out and plugged back in: the program waits for it and reopens it by itself.
    MessageBoxAnswerer answers(QMessageBox::No);
    program.Ticks(10);
    program.port.errorStateReadable = false;
    program.port.writeSucceeds = false;
    program.port.openSucceeds = false;
    program.port.condition = {PortCondition::State::Lost, "/dev/ttyUSB0", "", ""};
    program.Ticks(40);
    EXPECT_EQ(main.LinkStatusLabel->text(),
              "COM1 (/dev/ttyUSB0): czekam na urządzenie — port zostanie otwarty, gdy wróci.");
    EXPECT_EQ(main.state().devices[0]->record.commError, 1);
    program.port.errorStateReadable = true;
    program.port.writeSucceeds = true;
    program.port.openSucceeds = true;
    program.port.condition = {PortCondition::State::Open, "/dev/ttyUSB0", "", ""};
    program.Ticks(25);
    EXPECT_EQ(main.LinkStatusLabel->text(), "COM1 (/dev/ttyUSB0): port otwarty ponownie.");
    EXPECT_EQ(main.state().devices[0]->record.commError, 0);
    EXPECT_TRUE(answers.seen().empty());
}

TEST(MainWindow, PortDialogCancelChangesNothing) {
    ProgramOnFakeBus program;
    TOmain& main = program.Start();
    TTransSettings before;
    main.state().trans.GetSettings(before);
    TOPort dialog(main.state(), &main);
    dialog.ComboBoxP->setCurrentIndex(5);
    dialog.EditTm->setText(QStringLiteral("50"));
    dialog.Button2->click();
    TTransSettings after;
    main.state().trans.GetSettings(after);
    EXPECT_EQ(after, before);
    EXPECT_FALSE(main.state().SettingsChanged);
}

} // namespace
} // namespace hz70::test
