// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/D_kopiuj.h"
#include "views/D_zestaw.h"
#include "views/O_tabela.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
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

    // Runs `action` answering the question with `answer`; the list it showed and the writes on the bus.
    std::pair<QStringList, long> Run(QAction& action, QMessageBox::StandardButton answer,
                                     std::size_t questions = 1) {
        const std::size_t before = program.bus.requests.size();
        MessageBoxAnswerer answers(answer);
        action.trigger();
        EXPECT_EQ(answers.seen().size(), questions);
        for (const SeenMessage& seen : answers.seen()) {
            EXPECT_EQ(seen.text, "Zapisać różnice?");
        }
        auto* list = table->findChild<TDZestaw*>();
        const QStringList lines = list != nullptr ? list->Lines() : QStringList();
        delete list;
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
    const std::function<void()> copyZoneOne = [] {
        WhenDialogOpens<TDKopiuj>([](TDKopiuj& dialog) {
            for (QCheckBox* target : dialog.Cele) {
                target->setChecked(true);
            }
            dialog.accept();
        });
    };
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

} // namespace
} // namespace hz70::test
