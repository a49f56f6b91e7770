// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/D_kopiuj.h"
#include "views/D_zestaw.h"
#include "views/O_tabela.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QPointer>
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

    std::uint16_t& SetPoint(int address) {
        return program.bus.slaves[static_cast<std::uint8_t>(address)].registers[4000];
    }

    // Runs `action` answering the question with `answer` and lets the writes run; the list it showed
    // (none once closed) and the writes on the bus.
    std::pair<QStringList, long> Run(QAction& action, QMessageBox::StandardButton answer,
                                     std::size_t questions = 1) {
        const std::size_t before = program.bus.requests.size();
        MessageBoxAnswerer answers(answer);
        action.trigger();
        EXPECT_EQ(answers.seen().size(), questions);
        for (const SeenMessage& seen : answers.seen()) {
            EXPECT_EQ(seen.text, "Zapisać różnice?");
        }
        const QPointer<TDZestaw> list = table->findChild<TDZestaw*>();
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
            QStringList expected{"Strefa 2 (adres 2, Piec 2): SP 150 °C, ma być 200"};
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

// A file with a refused line or a zone at another address is shown in words and writes nothing, unasked.
TEST_F(SettingsSetWindow, RefusedFileWritesNothing) {
    const std::filesystem::path path = program.folder() / "zly.txt";
    std::ofstream(path)
        << "zone 1\naddress 1\nname Piec 1\nSP 99999\n\nzone 2\naddress 7\nname Piec 2\nSP 100\n";
    AnswerFileDialog(QString::fromStdString(path.string()));
    const auto [lines, writes] = Run(*table->AkcjaPorownaj, QMessageBox::Yes, 0);
    EXPECT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines.value(0).startsWith("Wiersz 4: "));
    EXPECT_EQ(lines.value(1), "Strefa 2 (adres 2, Piec 2): w pliku strefa 2 ma adres 7");
    EXPECT_EQ(lines.value(3), "Nic nie zapisano: plik zawiera błędy");
    EXPECT_EQ(writes, 0);
}

// Zone 1's SP and XP copied to zones 2 and 3: one setting is written per turn of the event loop, and
// its result listed before the next goes out (the four difference lines come first). A silent zone
// costs its first write alone, and closing the list stops the writes.
TEST_F(SettingsSetWindow, WritesOneSettingPerTurnOfTheEventLoop) {
    const struct {
        const char* name;
        bool zoneTwoSilent;
        bool closeAtFirstWrite;
        std::vector<int> linesAtTurns; // the list's length at the first write of each turn
        long writes;
        QString lastLine; // none once the list is closed
    } cases[] = {
        // First, while zone 2's record still holds what it held at start: a silent zone keeps its last
        // values. Its one write is sent twice, as every write is.
        {"zone 2 silent", true, false, {4, 5, 6}, 4, "Strefa 3 (adres 3, Wanna): XP 20: zapisano"},
        {"all answer", false, false, {4, 5, 6, 7}, 4, "Strefa 3 (adres 3, Wanna): XP 20: zapisano"},
        {"closed", false, true, {4}, 1, ""},
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
            EXPECT_TRUE(
                lines.contains("Strefa 2 (adres 2, Piec 2): SP 150: brak odpowiedzi — pozostałe nastawy "
                               "strefy pominięte"))
                << lines.join('\n').toStdString();
        }
        program.port.onWrite = send;
    }
}

} // namespace
} // namespace hz70::test
