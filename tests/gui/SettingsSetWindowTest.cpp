// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/D_kopiuj.h"
#include "views/D_zestaw.h"
#include "views/O_tabela.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

// Three HZ70s holding settings the parameters dialog accepts (zeros are out of range for PS and XP),
// the set point of each zone as given.
class SettingsSetWindow : public ::testing::Test {
protected:
    void SetUp() override {
        for (auto& [address, slave] : program.bus.slaves) {
            slave.registers[4003] = 10;
            slave.registers[4006] = 10;
            slave.registers[4000] = 200;
        }
        program.ListZones("Piec 1;Piec 2;Wanna;");
        main = &program.Start();
        main->Timer1->stop();
        table = main->OTabela;
        table->FormShow();
    }

    std::uint16_t& Setting(int address, std::uint16_t reg) {
        return program.bus.slaves[static_cast<std::uint8_t>(address)].registers[reg];
    }
    std::uint16_t& SetPoint(int address) { return Setting(address, 4000); }

    // Runs `action`, lets `pick` tick zones in the list it shows, presses "Zapisz zaznaczone" when a zone
    // is ticked answering the question with `answer`, and lets the writes run; the list (none once
    // closed) and the writes on the bus.
    std::pair<QStringList, long> Run(QAction& action, QMessageBox::StandardButton answer,
                                     std::size_t questions = 1,
                                     const std::function<void(TDZestaw&)>& pick = nullptr) {
        const std::size_t before = program.bus.requests.size();
        MessageBoxAnswerer answers(answer);
        action.trigger();
        const QPointer<TDZestaw> list = table->findChild<TDZestaw*>();
        if (list && pick) {
            pick(*list);
        }
        if (list && list->BtnZapisz->isEnabled()) {
            list->BtnZapisz->click();
        }
        EXPECT_EQ(answers.seen().size(), questions);
        for (const SeenMessage& seen : answers.seen()) {
            EXPECT_EQ(seen.text, "Zapisać różnice?");
        }
        RunEventsUntil([&list] { return list.isNull() || !list->Running(); });
        const QStringList lines = list ? list->Lines() : QStringList();
        delete list.data();
        const long writes = std::count_if(program.bus.requests.begin() + static_cast<std::ptrdiff_t>(before),
                                          program.bus.requests.end(),
                                          [](const SeenRequest& request) { return request.function == 6; });
        return {lines, writes};
    }

    ProgramOnFakeBus program{{1, 2, 3}};
    TOmain* main = nullptr;
    TOTabela* table = nullptr;
};

// Picks `path` in the next file dialog.
void AnswerFileDialog(const QString& path) {
    WhenDialogOpens<QFileDialog>([path](QFileDialog& dialog) {
        dialog.selectFile(path);
        QMetaObject::invokeMethod(&dialog, "accept");
    });
}

// Copies zone 1 to every other zone in the next copy dialog.
void CopyZoneOneToAll() {
    WhenDialogOpens<TDKopiuj>([](TDKopiuj& dialog) {
        for (QCheckBox* target : dialog.Cele) {
            target->setChecked(true);
        }
        dialog.accept();
    });
}

// Restoring a saved set and copying zone 1 to the others: each lists the one difference, writes nothing
// when the question is refused, and otherwise writes and reads back just that setting.
TEST_F(SettingsSetWindow, OnlyTheDifferenceIsWrittenAndOnlyAfterTheQuestion) {
    const QString path = QString::fromStdString((program.folder() / "nastawy.txt").string());
    AnswerFileDialog(path);
    table->AkcjaZapisz->trigger();
    ASSERT_TRUE(std::filesystem::exists(path.toStdString()));
    std::ifstream saved(path.toStdString());
    std::string header; // the third line: after the title and the time
    for (int line = 0; line < 3; ++line) {
        std::getline(saved, header);
    }
    EXPECT_EQ(header, "line COM1, 9600 bit/s, rtu-8n1");

    const std::function<void()> openFile = [&] { AnswerFileDialog(path); };
    const std::function<void()> copyZoneOne = CopyZoneOneToAll;
    for (const auto& [action, answerDialog] :
         {std::pair{table->AkcjaPorownaj, openFile}, std::pair{table->AkcjaKopiuj, copyZoneOne}}) {
        for (const bool confirmed : {false, true}) {
            SCOPED_TRACE(action->text().toStdString() + (confirmed ? " yes" : " no"));
            SetPoint(2) = 150;
            answerDialog();
            const auto [lines, writes] = Run(*action, confirmed ? QMessageBox::Yes : QMessageBox::No);
            QStringList expected{"Strefa 1 (adres 1, Piec 1)", "bez różnic",
                                 "Strefa 2 (adres 2, Piec 2)", "SP 150 °C, ma być 200",
                                 "Strefa 3 (adres 3, Wanna)",  "bez różnic"};
            if (confirmed) {
                expected << "Strefa 2 (adres 2, Piec 2): SP 200: zapisano";
            }
            EXPECT_EQ(lines, expected);
            EXPECT_EQ(writes, confirmed ? 1 : 0);
            EXPECT_EQ(SetPoint(2), confirmed ? 200 : 150);
            EXPECT_EQ(TOTabela::Cells(*table->StringGrid2, 2, 1).trimmed(), confirmed ? "200" : "150");
        }
    }
}

// A file with a refused line and zones at other addresses is shown in words with nothing ticked, and
// writes only the zones the operator ticks: zone 3 pairs with the file's zone at its address.
TEST_F(SettingsSetWindow, AFaultyFileWritesOnlyTheZonesTicked) {
    const std::filesystem::path path = program.folder() / "zly.txt";
    std::ofstream(path)
        << "zone 1\naddress 1\nname Piec 1\nSP 99999\nXP 20\n\nzone 2\naddress 3\nname Wanna\nSP 100\n";
    const QStringList listed{
        "Plik zawiera błędy — zaznacz strefy do zapisania",
        "Wiersz 4: SP: 99999 poza zakresem 0..537",
        "Strefa 1 (adres 1, Piec 1)",
        "XP 10 %, ma być 20",
        "Strefa 2 (adres 2, Piec 2)",
        "w pliku strefa 2 ma adres 3",
        "w pliku brak strefy o adresie 2",
        "Strefa 3 (adres 3, Wanna)",
        "w pliku brak strefy 3",
        "porównano ze strefą 2 z pliku, o tym samym adresie",
        "SP 200 °C, ma być 100",
    };
    const struct {
        QString ticked; // a heading, or none
        QString written;
        std::uint16_t xpAtOne;
        std::uint16_t spAtThree;
    } cases[] = {
        {"", "", 10, 200},
        {"Strefa 1 (adres 1, Piec 1)", "Strefa 1 (adres 1, Piec 1): XP 20: zapisano", 20, 200},
        {"Strefa 3 (adres 3, Wanna)", "Strefa 3 (adres 3, Wanna): SP 100: zapisano", 10, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ticked.toStdString());
        Setting(1, 4006) = 10;
        SetPoint(3) = 200;
        AnswerFileDialog(QString::fromStdString(path.string()));
        const auto tick = [&c](TDZestaw& list) {
            EXPECT_TRUE(list.TickedZones().empty());
            for (QListWidgetItem* heading : list.Lista->findItems(c.ticked, Qt::MatchExactly)) {
                heading->setCheckState(Qt::Checked);
            }
        };
        const auto [lines, writes] =
            Run(*table->AkcjaPorownaj, QMessageBox::Yes, c.ticked.isEmpty() ? 0 : 1, tick);
        EXPECT_EQ(lines, c.written.isEmpty() ? listed : QStringList(listed) << c.written)
            << lines.join('\n').toStdString();
        EXPECT_EQ(writes, c.ticked.isEmpty() ? 0 : 1);
        EXPECT_EQ(Setting(1, 4006), c.xpAtOne);
        EXPECT_EQ(SetPoint(3), c.spAtThree);
    }
}

// Zone 1's SP and XP copied to zones 2 and 3: one setting is written per turn of the event loop, and
// its result listed before the next goes out (three headings, zone 1's "bez różnic" and four
// difference lines come first).
// A zone silent when read is listed so and never written, and closing the list stops the writes.
TEST_F(SettingsSetWindow, WritesOneSettingPerTurnOfTheEventLoop) {
    const struct {
        const char* name;
        bool zoneTwoSilent;
        bool closeAtFirstWrite;
        std::vector<int> linesAtTurns; // the list's length at the first write of each turn
        long writes;
        QString lastLine; // none once the list is closed
    } cases[] = {
        // Zone 2's record still holds what it held at start, so it would differ.
        {"zone 2 silent", true, false, {7, 8}, 2, "Strefa 3 (adres 3, Wanna): XP 20: zapisano"},
        {"all answer", false, false, {8, 9, 10, 11}, 4, "Strefa 3 (adres 3, Wanna): XP 20: zapisano"},
        {"closed", false, true, {8}, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto& [address, slave] : program.bus.slaves) {
            slave.registers[4000] = address == 1 ? 150 : 200;
            slave.registers[4006] = address == 1 ? 20 : 10;
            slave.silent = address == 2 && c.zoneTwoSilent;
        }
        std::vector<int> linesAtTurns;
        bool turned = true; // the event loop ran since the last write
        QObject turnsSeen;
        const auto send = program.port.onWrite;
        program.port.onWrite = [&](const Bytes& frame) {
            auto* list = table->findChild<TDZestaw*>();
            if (frame.size() > 1 && frame[1] == 6 && list != nullptr) {
                if (turned) {
                    linesAtTurns.push_back(static_cast<int>(list->Lines().size()));
                }
                turned = false;
                QMetaObject::invokeMethod(
                    &turnsSeen, [&turned] { turned = true; }, Qt::QueuedConnection);
                if (c.closeAtFirstWrite) {
                    QMetaObject::invokeMethod(list, &QWidget::close, Qt::QueuedConnection);
                }
            }
            send(frame);
        };
        CopyZoneOneToAll();
        const auto [lines, writes] = Run(*table->AkcjaKopiuj, QMessageBox::Yes);
        EXPECT_EQ(linesAtTurns, c.linesAtTurns);
        EXPECT_EQ(writes, c.writes);
        EXPECT_EQ(lines.value(lines.size() - 1), c.lastLine);
        if (c.zoneTwoSilent) {
            EXPECT_EQ(lines.mid(2, 2),
                      QStringList({"Strefa 2 (adres 2, Piec 2)", "regulator nie odpowiada"}));
        }
        program.port.onWrite = send;
    }
}

} // namespace
} // namespace hz70::test
