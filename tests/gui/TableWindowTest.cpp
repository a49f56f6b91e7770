// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/O_tabela.h"

#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

// Three HZ70s at addresses 1..3 and the program on them, the table laid out; the test runs the ticks.
class TableWindow : public ::testing::Test {
protected:
    void SetUp() override {
        program.ListZones("Piec 1;Piec 2;Wanna;");
        main = &program.Start();
        main->Timer1->stop();
        table = main->OTabela;
        table->FormShow();
    }

    TRegulator& Zone(int index) { return main->state().devices[static_cast<std::size_t>(index)]->record; }
    std::uint16_t& Register(int address, std::uint16_t reg) {
        return program.bus.slaves[static_cast<std::uint8_t>(address)].registers[reg];
    }
    QString Measured(int column, int row) const { return TOTabela::Cells(*table->StringGrid1, column, row); }
    QString Setting(int column, int row) const { return TOTabela::Cells(*table->StringGrid2, column, row); }
    int SettingsReads() const {
        int reads = 0;
        for (const SeenRequest& request : program.bus.requests) {
            reads += request.function == 3 && request.reg == 4000 ? 1 : 0;
        }
        return reads;
    }
    QStringList MessageTexts(const MessageBoxAnswerer& answers) const {
        QStringList texts;
        for (const SeenMessage& message : answers.seen()) {
            texts << message.title + ": " + message.text;
        }
        return texts;
    }

    ProgramOnFakeBus program{{1, 2, 3}};
    TOmain* main = nullptr;
    TOTabela* table = nullptr;
};

TEST_F(TableWindow, PagesGridsAndButtonAreLaidOutForTheConfiguredZones) {
    EXPECT_EQ(table->PageControl1->tabText(0), "Wartości mierzone");
    EXPECT_EQ(table->PageControl1->tabText(1), "Nastawy");
    EXPECT_EQ(table->PageControl1->currentIndex(), 0);

    const QTableWidget& measured = *table->StringGrid1;
    EXPECT_EQ(measured.columnCount(), 4);
    EXPECT_EQ(measured.rowCount() + 1, 26);
    EXPECT_EQ(measured.columnWidth(0), 200);
    EXPECT_EQ(Measured(0, 0), "Nazwa parametru");
    EXPECT_EQ(Measured(0, 25), "   - wyjście przekaźnikowe zwarte");
    EXPECT_EQ(Measured(3, 0), "Wanna");
    EXPECT_EQ(measured.font().pixelSize(), 12);
    EXPECT_EQ(measured.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(measured.horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);

    const QTableWidget& settings = *table->StringGrid2;
    EXPECT_EQ(settings.columnCount(), 4);
    EXPECT_EQ(settings.rowCount() + 1, 17);
    EXPECT_EQ(settings.columnWidth(0), 230);
    EXPECT_EQ(settings.rowHeight(0), 24);
    EXPECT_EQ(Setting(0, 16), "Sposób awaryjnego sterowania (0-wył, 1-śr.moc)");
    EXPECT_EQ(Setting(2, 0), "Piec 2");

    const QPushButton& refresh = *table->BtnOdsw;
    EXPECT_EQ(refresh.parentWidget(), table->TabSheet2);
    EXPECT_EQ(refresh.geometry(), QRect(120, 4, 70, 20));
    EXPECT_EQ(refresh.text(), "Odśwież");
    EXPECT_EQ(refresh.toolTip(), "Odczytuje parametry z regulatorów");
    EXPECT_TRUE(refresh.font().bold());
    EXPECT_EQ(refresh.palette().color(QPalette::ButtonText), QColor(255, 0, 255));
}

TEST_F(TableWindow, PolledWordsShowTheirNumberAndTheirBitRows) {
    Register(1, 4018) = 0x0081;
    Register(1, 4019) = 0x0101;
    Register(2, 4018) = 0x8000;
    Register(1, 4024) = 12;
    program.Ticks(12); // every zone polled at least once

    EXPECT_EQ(Measured(1, 6), " 129");
    EXPECT_EQ(Measured(1, 7), "  1");
    EXPECT_EQ(Measured(1, 8), "  0");
    EXPECT_EQ(Measured(1, 14), "  1");
    EXPECT_EQ(Measured(1, 17), " 257");
    EXPECT_EQ(Measured(1, 18), "  1");
    EXPECT_EQ(Measured(1, 5), "  1.2 mA");
    EXPECT_EQ(Measured(2, 6), "-32768");
    EXPECT_EQ(Measured(2, 16), "  0");
    EXPECT_EQ(Measured(3, 6), "   0");
}

TEST_F(TableWindow, SettingsPageReadsEveryZoneAndShowsEachSetting) {
    for (int address = 1; address <= 3; ++address) {
        Register(address, 4000) = static_cast<std::uint16_t>(200 + address);
        Register(address, 4009) = 7;
    }
    Register(2, 4010) = 1; // DEG
    Register(2, 4015) = 1; // TCB
    Register(2, 4012) = 0; // FL
    Register(2, 4003) = 50;
    SetTemperatureUnit(Zone(1), "°C");
    MessageBoxAnswerer answers;
    const int before = SettingsReads();

    table->PageControl1->setCurrentIndex(1);

    EXPECT_EQ(SettingsReads(), before + 3);
    EXPECT_EQ(MessageTexts(answers), QStringList{"HZ70: Parametry zostały odczytane"});
    EXPECT_EQ(answers.seen()[0].icon, QMessageBox::Information);
    EXPECT_EQ(Setting(2, 1), " 202 °C");
    EXPECT_EQ(Setting(2, 4), "  50 %");
    EXPECT_EQ(Setting(2, 10), "   7 "); // SEC has no unit
    EXPECT_EQ(Setting(2, 11), "°F");
    EXPECT_EQ(Setting(2, 13), "wyłączony");
    EXPECT_EQ(Setting(2, 16), "ustawić średnią moc");
    // The zone's own copy is refreshed too: the zone parameters dialog lists the same values.
    EXPECT_EQ(Zone(1).settings[10].raw, 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TableWindow, OpeningTheSettingsPageAgainAndTheButtonRepeatTheRead) {
    MessageBoxAnswerer answers;
    const int before = SettingsReads();
    table->PageControl1->setCurrentIndex(1);
    table->PageControl1->setCurrentIndex(0);
    table->PageControl1->setCurrentIndex(1);
    EXPECT_EQ(SettingsReads(), before + 6);
    EXPECT_EQ(answers.seen().size(), 2u);

    Register(1, 4000) = 321;
    table->BtnOdsw->click();
    EXPECT_EQ(SettingsReads(), before + 9);
    EXPECT_EQ(answers.seen().size(), 3u);
    EXPECT_EQ(Setting(1, 1).left(4), " 321");
}

TEST_F(TableWindow, FailedZoneGetsItsBoxAndKeepsItsColumnWhileTheOthersAreRead) {
    MessageBoxAnswerer answers;
    table->BtnOdsw->click();
    ASSERT_EQ(answers.seen().size(), 1u);
    const QString oldSecond = Setting(2, 1);

    Register(1, 4000) = 111;
    Register(2, 4000) = 222;
    Register(3, 4000) = 333;
    program.bus.slaves[2].silent = true;
    table->BtnOdsw->click();

    EXPECT_EQ(MessageTexts(answers).mid(1), QStringList({"HZ70: Błąd dczytu nastaw regulatora w strefie nr 2",
                                                         "HZ70: Parametry zostały odczytane"}));
    EXPECT_EQ(answers.seen()[1].icon, QMessageBox::Critical);
    EXPECT_EQ(Setting(1, 1).left(4), " 111");
    EXPECT_EQ(Setting(2, 1), oldSecond);
    EXPECT_EQ(Setting(3, 1).left(4), " 333");
}

TEST_F(TableWindow, FailureOfTheLastZoneSuppressesTheClosingMessage) {
    MessageBoxAnswerer answers;
    program.bus.slaves[3].silent = true;
    table->BtnOdsw->click();
    EXPECT_EQ(MessageTexts(answers), QStringList{"HZ70: Błąd dczytu nastaw regulatora w strefie nr 3"});
}

TEST_F(TableWindow, ZonesAreReadWithTheWaitCursorUntilTheFirstFailureBox) {
    MessageBoxAnswerer answers;
    program.bus.slaves[1].silent = true;
    std::vector<std::pair<int, bool>> waitingPerRequest;
    const auto bus = program.port.onWrite;
    program.port.onWrite = [&](const Bytes& line) {
        const QCursor* cursor = QApplication::overrideCursor();
        waitingPerRequest.emplace_back(line[0], cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        bus(line);
    };
    table->BtnOdsw->click();
    program.port.onWrite = bus;

    ASSERT_FALSE(waitingPerRequest.empty());
    for (const auto& [address, waiting] : waitingPerRequest) {
        EXPECT_EQ(waiting, address == 1) << "request to " << address;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TableWindow, UpdatesFillTheColumnOfThePolledSlotAndARebuildKeepsOtherCells) {
    Register(2, 4023) = 40;
    program.Ticks(12); // every zone polled at least once
    EXPECT_EQ(Measured(2, 4), "  4.0 A");

    main->state().settings.zones.DevCount = 2;
    main->state().settings.zones.DevName[1] = "Piec B";
    main->RebuildDeviceList();
    table->FormShow();
    EXPECT_EQ(table->StringGrid1->columnCount(), 3);
    EXPECT_EQ(table->StringGrid2->columnCount(), 3);
    EXPECT_EQ(Measured(2, 0), "Piec B");
    EXPECT_EQ(Measured(2, 4), "  4.0 A"); // until the zone's next update
}

TEST_F(TableWindow, RowNamesStayInViewWhenTheGridScrollsSideways) {
    main->show();
    QApplication::processEvents();
    table->parentWidget()->resize(380, 480);
    QApplication::processEvents();
    QTableWidget& grid = *table->StringGrid1;
    QScrollBar& sideways = *grid.horizontalScrollBar();
    ASSERT_GT(sideways.maximum(), 0);
    // The names' column from the heading down to the horizontal scroll bar.
    const auto nameStrip = [&grid] {
        return grid.grab(QRect(0, 0, grid.columnWidth(0), grid.viewport()->geometry().bottom())).toImage();
    };
    const QImage unscrolled = nameStrip();

    sideways.setValue(sideways.maximum());
    QApplication::processEvents();
    EXPECT_EQ(nameStrip(), unscrolled);

    // The names' column is widened by the edge of its heading, as the operator sees it.
    auto* heading = qobject_cast<QHeaderView*>(grid.childAt(grid.columnWidth(0) / 2, 4)->parentWidget());
    ASSERT_NE(heading, nullptr);
    heading->resizeSection(0, 260);
    QApplication::processEvents();
    EXPECT_EQ(grid.columnWidth(0), 260);
    const QImage widened = nameStrip();
    sideways.setValue(0);
    QApplication::processEvents();
    EXPECT_EQ(nameStrip(), widened);
}

TEST_F(TableWindow, APollThatChangesNothingRepaintsNothing) {
    main->show();
    Register(2, 4020) = 250;
    program.Ticks(12); // every zone polled at least once
    QApplication::processEvents();
    const PaintCounter paints(table);
    program.Ticks(12);
    QApplication::processEvents();
    EXPECT_EQ(paints.count(), 0);

    Register(2, 4020) = 251;
    program.Ticks(12);
    QApplication::processEvents();
    EXPECT_GT(paints.count(), 0);
    EXPECT_EQ(Measured(2, 1), " 25.1 °C");
}

TEST_F(TableWindow, WithoutZonesTheReadShowsNoMessage) {
    main->state().settings.zones.DevCount = 0;
    main->RebuildDeviceList();
    table->FormShow();
    MessageBoxAnswerer answers;
    table->BtnOdsw->click();
    EXPECT_TRUE(answers.seen().empty());
    EXPECT_EQ(table->StringGrid2->columnCount(), 1);
}

} // namespace
} // namespace hz70::test
