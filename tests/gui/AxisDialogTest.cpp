// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/GuiTestSupport.h"
#include "views/D_param.h"
#include "views/O_wykres.h"

#include <QCategoryAxis>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

// Typed as the operator would: with the locale's decimal separator.
QString Typed(const char* number) {
    return QString::fromLatin1(number).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

// The chart window over a state of one zone, with the dialog opened on it.
class AxisDialog : public ::testing::Test {
protected:
    AxisDialog() {
        state.settings.zones.DevCount = 1;
        chart = std::make_unique<TOWykres>(state);
        chart->Timer1->stop();
        chart->FormShow();
        (void)SetAxisRange(chart->LeftAxis(), -5, 200);
        chart->LeftAxis().SetVisible(true);
        chart->RightAxis().SetVisible(true);
        (void)SetAxisRange(chart->RightAxis(), 0, 100);
        Open();
    }
    void Open() { dialog = std::make_unique<TDlgParam>(*chart); }
    ChartAxis& left() { return chart->LeftAxis(); }
    ChartAxis& right() { return chart->RightAxis(); }

    FakeClock clock;
    FakeSerialPort port;
    QTemporaryDir directory;
    AppState state{port, clock, directory.path().toStdString()};
    std::unique_ptr<TOWykres> chart;
    std::unique_ptr<TDlgParam> dialog;
    MessageBoxAnswerer answers;
};

TEST_F(AxisDialog, OpensOnTheLeftAxisWithItsControls) {
    TDlgParam& d = *dialog;
    EXPECT_EQ(d.windowTitle(), "Parametry osi Y");
    EXPECT_EQ(d.size(), QSize(236, 235));
    EXPECT_EQ(d.TabControl1->tabText(0), "Oś lewa");
    EXPECT_EQ(d.TabControl1->tabText(1), "Oś prawa");
    EXPECT_EQ(d.TabControl1->currentIndex(), 0);
    EXPECT_EQ(d.CheckBVisible->text(), "wyświetl");
    EXPECT_EQ(d.GroupBox1->title(), "Skale");
    EXPECT_EQ(d.CheckBAuto->text(), "automatyczna");
    EXPECT_EQ(d.CheckBAutomax->text(), "auto maks");
    EXPECT_EQ(d.CheckBAutomin->text(), "auto min");
    EXPECT_EQ(d.CheckBLog->text(), "logarytmiczna");
    EXPECT_EQ(d.Label6->text(), "format danych:");
    EXPECT_EQ(d.BOk->text(), "OK");
    EXPECT_EQ(d.BAnuluj->text(), "Anuluj");

    EXPECT_TRUE(d.CheckBVisible->isChecked());
    EXPECT_FALSE(d.CheckBAuto->isChecked());
    EXPECT_EQ(d.EditMax->text(), "200");
    EXPECT_EQ(d.EditMin->text(), "-5");
    EXPECT_EQ(d.EditFormat->text(), "###0.###");
    EXPECT_TRUE(d.EditMax->isEnabled());
    EXPECT_TRUE(answers.seen().empty());
}

TEST_F(AxisDialog, AutomaticDisablesTheEditsAndChecksBothEnds) {
    TDlgParam& d = *dialog;
    d.CheckBAuto->setChecked(true);
    EXPECT_FALSE(d.EditMax->isEnabled());
    EXPECT_FALSE(d.EditMin->isEnabled());
    EXPECT_FALSE(d.CheckBAutomax->isEnabled());
    EXPECT_FALSE(d.CheckBAutomin->isEnabled());
    EXPECT_TRUE(d.CheckBAutomax->isChecked());
    EXPECT_TRUE(d.CheckBAutomin->isChecked());

    d.CheckBAuto->setChecked(false);
    EXPECT_TRUE(d.CheckBAutomax->isEnabled());
    EXPECT_TRUE(d.CheckBAutomax->isChecked()); // still checked
    EXPECT_FALSE(d.EditMax->isEnabled());      // until its end is unchecked
    d.CheckBAutomax->setChecked(false);
    EXPECT_TRUE(d.EditMax->isEnabled());
    EXPECT_FALSE(d.EditMin->isEnabled());
}

TEST_F(AxisDialog, EnterInAnEditNeitherAppliesNorClosesAndOnAButtonPressesIt) {
    TDlgParam& d = *dialog;
    d.show();
    EXPECT_FALSE(d.BOk->isDefault());
    const auto enter = [](QWidget* target) {
        target->setFocus();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
    };
    d.EditMax->setText(QStringLiteral("150"));
    for (QLineEdit* edit : {d.EditMax, d.EditMin, d.EditFormat}) {
        enter(edit);
        EXPECT_TRUE(d.isVisible()) << edit->text().toStdString();
    }
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{-5, 200}));
    EXPECT_FALSE(state.SettingsChanged);

    enter(d.BOk);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{-5, 150}));
}

TEST_F(AxisDialog, BothAutomaticEndsComeBackAsAutomaticScale) {
    dialog->CheckBAutomax->setChecked(true);
    dialog->CheckBAutomin->setChecked(true);
    dialog->BOkClick();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(state.SettingsChanged);
    Open();
    EXPECT_TRUE(dialog->CheckBAuto->isChecked());
    EXPECT_FALSE(dialog->EditMax->isEnabled());
}

TEST_F(AxisDialog, OkOnAnAutomaticAxisStillStoresTheFixedRange) {
    left().SetAutomatic(true);
    left().WorkOut(ValueSpan{20.7, 180.2});
    Open(); // reads the ends the automatic scale worked out
    dialog->BOkClick();
    EXPECT_TRUE(left().automatic());
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{20, 180})); // kept for when automatic scale is off
}

TEST_F(AxisDialog, ANonNumberInTheLeftMinimumIsReportedAndTheRestApplied) {
    dialog->EditMin->setText(QStringLiteral("abc"));
    dialog->EditMax->setText(QStringLiteral("300"));
    dialog->CheckBVisible->setChecked(false);
    dialog->EditFormat->setText(QStringLiteral("0.0"));
    dialog->BOkClick();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Błąd");
    EXPECT_EQ(answers.seen()[0].text, "Nieprawidłowe dane - oś Y.");
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{-5, 200})); // the maximum was not read either
    EXPECT_FALSE(left().visible());
    EXPECT_EQ(left().labelFormat(), "0.0");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(AxisDialog, RealNumbersAreTruncatedTowardZero) {
    dialog->EditMax->setText(Typed("12.9"));
    dialog->EditMin->setText(Typed("-3.9"));
    dialog->BOkClick();
    EXPECT_TRUE(answers.seen().empty());
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{-3, 12}));
    EXPECT_EQ(chart->leftAxisItem()->max(), 12);
}

TEST_F(AxisDialog, AReversedRightRangeIsReportedOnceAndTheLeftStillApplied) {
    dialog->EditMax->setText(QStringLiteral("150"));
    dialog->TabControl1->setCurrentIndex(1);
    dialog->EditMax->setText(QStringLiteral("50"));
    dialog->EditMin->setText(QStringLiteral("100"));
    dialog->BOkClick();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "Błąd");
    EXPECT_EQ(answers.seen()[0].text, "Wartość minimum osi musi być <= maksimum.");
    EXPECT_EQ(right().fixedSpan(), (ValueSpan{0, 100}));
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{-5, 150}));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

TEST_F(AxisDialog, SwitchingTabsKeepsTypedValuesAndCancelDiscardsBoth) {
    TDlgParam& d = *dialog;
    d.EditMax->setText(QStringLiteral("333"));
    d.CheckBLog->setChecked(true);
    d.TabControl1->setCurrentIndex(1);
    EXPECT_EQ(d.EditMax->text(), "100"); // the right axis
    EXPECT_FALSE(d.CheckBLog->isChecked());
    d.EditMin->setText(QStringLiteral("7"));
    d.TabControl1->setCurrentIndex(0);
    EXPECT_EQ(d.EditMax->text(), "333");
    EXPECT_TRUE(d.CheckBLog->isChecked());
    EXPECT_EQ(d.WorkingCopy(1).minimum, 7);

    d.BAnulujClick();
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{-5, 200}));
    EXPECT_FALSE(left().logarithmic());
    EXPECT_EQ(right().fixedSpan(), (ValueSpan{0, 100}));
    EXPECT_FALSE(state.SettingsChanged);
    EXPECT_TRUE(answers.seen().empty());
}

TEST_F(AxisDialog, ABadNumberIsNamedByItsAxisWhenSwitchingTabs) {
    dialog->EditMax->setText(QString());
    dialog->TabControl1->setCurrentIndex(1);
    dialog->EditMin->setText(QStringLiteral("x"));
    dialog->TabControl1->setCurrentIndex(0);
    ASSERT_EQ(answers.seen().size(), 2u);
    EXPECT_EQ(answers.seen()[0].text, "Nieprawidłowe dane lewej osi Y.");
    EXPECT_EQ(answers.seen()[1].text, "Nieprawidłowe dane prawej osi Y.");
    EXPECT_EQ(dialog->EditMax->text(), "200"); // the left axis's value stayed
}

TEST_F(AxisDialog, AnEmptyFormatIsApplied) {
    dialog->EditFormat->clear();
    dialog->BOkClick();
    EXPECT_EQ(left().labelFormat(), "");
    EXPECT_EQ(chart->leftAxisItem()->categoriesLabels().last(), "200"); // the general form
}

TEST_F(AxisDialog, ALogarithmicScaleBelowZeroIsRefusedAndTheDialogStaysOpen) {
    dialog->CheckBVisible->setChecked(false);
    dialog->CheckBLog->setChecked(true);
    dialog->EditMin->setText(QStringLiteral("1")); // judged on the range the axis has
    dialog->EditFormat->setText(QStringLiteral("0.00"));
    dialog->BOkClick();
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].title, "HZ70wiz");
    EXPECT_EQ(answers.seen()[0].text, "Logarithmic Axis Min and Max values should be >= 0");
    EXPECT_EQ(dialog->result(), 0); // still open
    EXPECT_FALSE(left().visible()); // the step before the refusal stays
    EXPECT_FALSE(left().logarithmic());
    EXPECT_EQ(left().fixedSpan(), (ValueSpan{-5, 200})); // the steps after it were not carried out
    EXPECT_EQ(left().labelFormat(), "###0.###");
    EXPECT_FALSE(state.SettingsChanged);

    dialog->CheckBLog->setChecked(false); // the positive range first, then the scale
    dialog->BOkClick();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(state.SettingsChanged);
    Open();
    dialog->CheckBLog->setChecked(true);
    dialog->BOkClick();
    EXPECT_TRUE(left().logarithmic());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(chart->leftAxisItem()->categoriesLabels().first(), Typed("1.00"));
}

} // namespace
} // namespace hz70::test
