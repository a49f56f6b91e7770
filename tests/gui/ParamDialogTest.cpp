// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/O_param.h"
#include "views/O_synop.h"
#include "views/Ostrefa.h"

#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

constexpr std::uint8_t kZone = 1;

// One zone on the fake bus, polled once so that its panel has set the temperature units.
class ParamDialog : public ::testing::Test {
protected:
    ProgramOnFakeBus program{{kZone}};
    TOmain* main = nullptr;
    std::unique_ptr<TDlgProg> dialog;

    void SetUp() override {
        FakeSlave& slave = Slave();
        slave.registers[4000] = 200;
        slave.registers[4003] = 30;
        slave.registers[4006] = 5;
        slave.registers[4009] = 0xFFFF;
        main = &program.Start();
        main->Timer1->stop();
        main->Osynop->FormShow();
        program.Ticks(4);
    }
    FakeSlave& Slave() { return program.bus.slaves[kZone]; }
    TRegulator& Record() { return main->state().devices[0]->record; }
    int Writes() const {
        int n = 0;
        for (const SeenRequest& request : program.bus.requests) {
            n += request.function == 6 ? 1 : 0;
        }
        return n;
    }

    TDlgProg& Open() {
        dialog = std::make_unique<TDlgProg>(main->state(), main);
        dialog->regulator = &Record();
        dialog->show();
        return *dialog;
    }
    // Whether list line `row` draws anything from the "Wartość" heading on.
    bool DrawsUnderValueHeading(int row) const {
        QListWidget* list = dialog->ListBox1;
        list->scrollToItem(list->item(row));
        const QRect line = list->visualItemRect(list->item(row));
        const int column = list->viewport()->mapFromGlobal(dialog->Label3->mapToGlobal(QPoint())).x();
        const QImage image = list->viewport()->grab(line).toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = column - line.left(); x < image.width(); ++x) {
                if (qGray(image.pixel(x, y)) < 128) {
                    return true;
                }
            }
        }
        return false;
    }
    // Selects `line`, types `text` and applies it; returns the status line.
    QString Apply(int line, const QString& text) {
        dialog->ListBox1->setCurrentRow(line);
        dialog->Edit1->setText(text);
        dialog->BtnZastosuj->click();
        return dialog->Label4->text();
    }
};

void PressKey(QWidget* target, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

TEST_F(ParamDialog, UnreachableControllerListsDescriptionsOnly) {
    Slave().silent = true;
    const int writesBefore = Writes();
    TDlgProg& d = Open();
    EXPECT_EQ(d.windowTitle(), "Parametry w strefie: STREFA  1");
    ASSERT_EQ(d.ListBox1->count(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(d.ListBox1->item(i)->text(),
                  QString::fromUtf8(Record().settings[static_cast<std::size_t>(i)].description) + " ");
    }
    EXPECT_EQ(d.ListBox1->currentRow(), 0);
    EXPECT_EQ(d.Label4->text(), "Brak transmisji z urządzeniem");
    EXPECT_EQ(d.Edit1->text(), "");
    // With no values the descriptions have the whole line: a long one is not cut at the value column.
    EXPECT_TRUE(DrawsUnderValueHeading(15)) << "Sposób awaryjnego sterowania (0-wył, 1-śr.moc)";

    d.ListBox1->setCurrentRow(3); // selecting fills nothing while the zone is silent
    EXPECT_EQ(d.Edit1->text(), "");
    EXPECT_EQ(Apply(3, "50"), "Brak transmisji z urządzeniem");
    EXPECT_EQ(Writes(), writesBefore);
}

TEST_F(ParamDialog, ListsTheSettingsReadWithTheirUnitsAndOffersTheSelectedValue) {
    TDlgProg& d = Open();
    ASSERT_EQ(d.ListBox1->count(), 16);
    EXPECT_EQ(d.ListBox1->item(0)->text(), "Wartość zadana \t 200 °C");
    EXPECT_EQ(d.ListBox1->item(6)->text(), "Zakres proporcjonalności \t 5   %");
    EXPECT_EQ(d.ListBox1->item(9)->text(), "Kod bezpieczeństwa \t 65535 ");
    EXPECT_EQ(d.ListBox1->currentRow(), 0);
    EXPECT_EQ(d.Edit1->text(), "200");
    EXPECT_TRUE(d.Edit1->selectedText().isEmpty());
    EXPECT_EQ(d.Label4->text(), "");

    d.ListBox1->setCurrentRow(3);
    EXPECT_EQ(d.Edit1->text(), "30");
    d.ListBox1->setCurrentRow(9);
    EXPECT_EQ(d.Edit1->text(), "65535");

    // Tabbing into the input leaves its text unselected; a click selects it all.
    QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(d.Edit1, &tabbedIn);
    EXPECT_TRUE(d.Edit1->selectedText().isEmpty());
    QMouseEvent click(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(d.Edit1, &click);
    EXPECT_EQ(d.Edit1->selectedText(), "65535");
}

TEST_F(ParamDialog, PowerLimitAndUnitsAreCheckedAgainstTheirLimits) {
    TDlgProg& d = Open();
    const int writesBefore = Writes();
    EXPECT_EQ(Apply(3, "101"), "Wartość poza zakresem");
    EXPECT_EQ(d.focusWidget(), d.Edit1);
    EXPECT_EQ(Apply(10, "2"), "Wartość poza zakresem");
    EXPECT_EQ(Writes(), writesBefore);

    EXPECT_EQ(Apply(3, "100"), "");
    EXPECT_EQ(Slave().registers[4003], 100);
    EXPECT_EQ(d.ListBox1->item(3)->text(), "Maks. moc podczas miękkiego startu \t 100 %");
    EXPECT_EQ(d.ListBox1->currentRow(), 3);
    EXPECT_EQ(Record().settings[3].raw, 100);

    EXPECT_EQ(Apply(10, "1"), "");
    EXPECT_EQ(Slave().registers[4010], 1);
}

TEST_F(ParamDialog, SetpointsAreLeftToTheController) {
    Open();
    EXPECT_EQ(Apply(0, "600"), ""); // above the Celsius limit: the controller decides
    EXPECT_EQ(Slave().registers[4000], 600);

    Slave().writeException = 3;
    EXPECT_EQ(Apply(0, "900"), "Wartość poza zakresem");
    EXPECT_EQ(dialog->focusWidget(), dialog->Edit1);
    EXPECT_EQ(Record().settings[0].raw, 600);
    EXPECT_EQ(dialog->ListBox1->item(0)->text(), "Wartość zadana \t 600 °C");
}

TEST_F(ParamDialog, TextsThatAreNoNumberOrDoNotFitAWordAreNotWritten) {
    TDlgProg& d = Open();
    const int writesBefore = Writes();
    EXPECT_EQ(Apply(0, "abc"), "Błędne dane");
    EXPECT_EQ(d.focusWidget(), d.Edit1);
    EXPECT_EQ(Apply(0, ""), "Błędne dane");
    EXPECT_EQ(Apply(0, "12.5"), "Błędne dane");
    // Cutting to the low 16 bits would write 4464 or 200: refused instead.
    EXPECT_EQ(Apply(0, "70000"), "Wartość poza zakresem");
    EXPECT_EQ(Apply(0, "65736"), "Wartość poza zakresem");
    EXPECT_EQ(Apply(0, "-1"), "Wartość poza zakresem");
    EXPECT_EQ(Writes(), writesBefore);
    EXPECT_EQ(Slave().registers[4000], 200);
}

TEST_F(ParamDialog, RefusalsAndLostWritesAreTold) {
    Open();
    Slave().writeException = 2;
    const int writesBefore = Writes();
    EXPECT_EQ(Apply(7, "100"), "Błąd");
    EXPECT_EQ(Writes(), writesBefore + 2); // a refused write is sent twice
    Slave().writeException.reset();
    Slave().silent = true;
    EXPECT_EQ(Apply(7, "100"), "Błąd zapisu");
    EXPECT_EQ(dialog->ListBox1->item(7)->text(), "Stała czasowa całkowania \t 0   s");
}

TEST_F(ParamDialog, EnterAppliesAndEscapeCloses) {
    WhenDialogOpens<TDlgProg>([&](TDlgProg& d) {
        d.ListBox1->setCurrentRow(8);
        d.Edit1->setText(QStringLiteral("12"));
        PressKey(d.Edit1, Qt::Key_Return);
        EXPECT_EQ(Slave().registers[4008], 12);
        EXPECT_TRUE(d.isVisible());
        PressKey(d.Edit1, Qt::Key_Escape);
    });
    TStrefa& panel = *main->Osynop->panels().at(0);
    panel.Button1->click();
    EXPECT_EQ(Slave().registers[4008], 12);
    EXPECT_TRUE(main->findChildren<TDlgProg*>().isEmpty());
}

} // namespace
} // namespace hz70::test
