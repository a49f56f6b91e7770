// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/D_zestaw.h"
#include "views/O_tabela.h"

#include <QAction>
#include <QFileDialog>
#include <algorithm>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

// Picks `path` in the next file dialog.
void AnswerFileDialog(const QString& path) {
    WhenDialogOpens<QFileDialog>([path](QFileDialog& dialog) {
        dialog.selectFile(path);
        QMetaObject::invokeMethod(&dialog, "accept");
    });
}

TEST(SettingsSetWindow, RestoringASavedSetWritesOnlyTheOneDifferenceAfterTheQuestion) {
    ProgramOnFakeBus program{{1, 2}};
    // The fake controllers hold zeros, which PS and XP refuse.
    for (auto& [address, slave] : program.bus.slaves) {
        slave.registers[4003] = 10;
        slave.registers[4006] = 10;
    }
    program.ListZones("Piec 1;Piec 2;");
    TOmain& main = program.Start();
    main.Timer1->stop();
    TOTabela& table = *main.OTabela;
    table.FormShow();
    auto& setPoint = program.bus.slaves[2].registers[4000];
    setPoint = 200;

    const QString path = QString::fromStdString((program.folder() / "nastawy.txt").string());
    AnswerFileDialog(path);
    table.AkcjaZapisz->trigger();
    ASSERT_TRUE(std::filesystem::exists(path.toStdString()));

    setPoint = 150;
    for (const bool confirmed : {false, true}) {
        SCOPED_TRACE(confirmed);
        const std::size_t before = program.bus.requests.size();
        MessageBoxAnswerer answers(confirmed ? QMessageBox::Yes : QMessageBox::No);
        AnswerFileDialog(path);
        table.AkcjaPorownaj->trigger();

        ASSERT_EQ(answers.seen().size(), 1U);
        EXPECT_EQ(answers.seen()[0].text, "Zapisać różnice?");
        const auto* list = table.findChild<TDZestaw*>();
        ASSERT_NE(list, nullptr);
        QStringList expected{"Strefa 2 (adres 2, Piec 2): SP 150 °C, w pliku 200"};
        if (confirmed) {
            expected << "Strefa 2 (adres 2, Piec 2): SP 200: zapisano";
        }
        EXPECT_EQ(list->Lines(), expected);
        const auto writes = std::count_if(program.bus.requests.begin() + static_cast<std::ptrdiff_t>(before),
                                          program.bus.requests.end(),
                                          [](const SeenRequest& request) { return request.function == 6; });
        EXPECT_EQ(writes, confirmed ? 1 : 0);
        delete list;
    }
    EXPECT_EQ(setPoint, 200);
    EXPECT_EQ(TOTabela::Cells(*table.StringGrid2, 2, 1).trimmed(), "200");
}

} // namespace
} // namespace hz70::test
