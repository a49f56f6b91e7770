// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/D_param.h"

#include "model/Captions.h"
#include "model/ZoneOperations.h"
#include "views/ArialFont.h"
#include "views/O_wykres.h"
#include "views/Utf8Text.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

namespace hz70 {
namespace {

constexpr int kLeftAxis = 0;
constexpr int kRightAxis = 1;

} // namespace

TDlgParam::TDlgParam(TOWykres& chart) : QDialog(&chart), chart_(chart) {
    setObjectName(QStringLiteral("DlgParam"));
    setWindowTitle(QStringLiteral("Parametry osi Y"));
    setFixedSize(236, 235);
    setFont(ArialFont(11));
    CreateControls();
    FormShow();
}

void TDlgParam::CreateControls() {
    TabControl1 = new QTabWidget(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->setGeometry(4, 4, 228, 190);
    // The two tabs share one set of controls laid over the pages.
    TabControl1->addTab(new QWidget, Text("Oś lewa"));
    TabControl1->addTab(new QWidget, Text("Oś prawa"));
    connect(TabControl1, &QTabWidget::currentChanged, this, &TDlgParam::TabControl1Change);

    CheckBVisible = new QCheckBox(Text("wyświetl"), this);
    CheckBVisible->setGeometry(14, 32, 120, 20);
    CheckBVisible->setChecked(true);

    GroupBox1 = new QGroupBox(QStringLiteral("Skale"), this);
    GroupBox1->setGeometry(12, 54, 212, 100);
    CheckBAuto = new QCheckBox(QStringLiteral("automatyczna"), GroupBox1);
    CheckBAuto->setGeometry(8, 18, 100, 20);
    CheckBLog = new QCheckBox(QStringLiteral("logarytmiczna"), GroupBox1);
    CheckBLog->setGeometry(108, 18, 100, 20);
    EditMax = new QLineEdit(QStringLiteral("0"), GroupBox1);
    EditMax->setGeometry(8, 44, 80, 21);
    CheckBAutomax = new QCheckBox(QStringLiteral("auto maks"), GroupBox1);
    CheckBAutomax->setGeometry(96, 44, 100, 21);
    EditMin = new QLineEdit(QStringLiteral("0"), GroupBox1);
    EditMin->setGeometry(8, 71, 80, 21);
    CheckBAutomin = new QCheckBox(QStringLiteral("auto min"), GroupBox1);
    CheckBAutomin->setGeometry(96, 71, 100, 21);
    for (QCheckBox* box : {CheckBAuto, CheckBAutomax, CheckBAutomin}) {
        connect(box, &QCheckBox::toggled, this, &TDlgParam::CheckBAutoClick);
    }

    Label6 = new QLabel(QStringLiteral("format danych:"), this);
    Label6->setGeometry(14, 164, 86, 21);
    EditFormat = new QLineEdit(QStringLiteral("###0.###"), this);
    EditFormat->setGeometry(100, 164, 122, 21);

    // Neither button is the default, so Enter in an edit applies nothing; a dialog would otherwise make
    // the first of its buttons the default when shown.
    BOk = new QPushButton(QStringLiteral("OK"), this);
    BOk->setGeometry(72, 203, 75, 25);
    BOk->setAutoDefault(false);
    connect(BOk, &QPushButton::clicked, this, &TDlgParam::BOkClick);
    BAnuluj = new QPushButton(QStringLiteral("Anuluj"), this);
    BAnuluj->setGeometry(155, 203, 75, 25);
    BAnuluj->setAutoDefault(false);
    connect(BAnuluj, &QPushButton::clicked, this, &TDlgParam::BAnulujClick);
}

void TDlgParam::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* display = screen()) {
        move(display->availableGeometry().center() - rect().center());
    }
}

void TDlgParam::keyPressEvent(QKeyEvent* event) {
    // A focused button takes Enter as it takes Space.
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (button != nullptr && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TDlgParam::FormShow() {
    {
        const QSignalBlocker blocker(TabControl1);
        TabControl1->setCurrentIndex(kLeftAxis);
    }
    settings_[kLeftAxis] = ReadAxisSettings(chart_.LeftAxis());
    settings_[kRightAxis] = ReadAxisSettings(chart_.RightAxis());
    ShowAxisSettings(settings_[kLeftAxis]);
}

void TDlgParam::TabControl1Change() {
    if (TabControl1->currentIndex() == kRightAxis) {
        StoreControls(settings_[kLeftAxis], kBadLeftAxisData);
        ShowAxisSettings(settings_[kRightAxis]);
    } else {
        StoreControls(settings_[kRightAxis], kBadRightAxisData);
        ShowAxisSettings(settings_[kLeftAxis]);
    }
}

void TDlgParam::CheckBAutoClick() {
    const AxisControlsEnabled enabled =
        EnabledAxisControls(CheckBAuto->isChecked(), CheckBAutomax->isChecked(), CheckBAutomin->isChecked());
    EditMax->setEnabled(enabled.maximumEdit);
    EditMin->setEnabled(enabled.minimumEdit);
    CheckBAutomax->setEnabled(enabled.automaticEnds);
    CheckBAutomin->setEnabled(enabled.automaticEnds);
    if (CheckBAuto->isChecked()) {
        CheckBAutomin->setChecked(true);
        CheckBAutomax->setChecked(true);
    }
}

void TDlgParam::BOkClick() {
    StoreControls(settings_[static_cast<std::size_t>(TabControl1->currentIndex())], kBadAxisData);
    const AxisDialogOutcome outcome =
        ApplyAxisSettings(chart_.LeftAxis(), chart_.RightAxis(), settings_[kLeftAxis], settings_[kRightAxis]);
    chart_.ShowAxes();
    for (const std::string& message : outcome.messages) {
        ShowError(Text(kAxisDialogErrorCaption), QString::fromStdString(message));
    }
    if (!outcome.complete()) {
        ShowError(Text(kProgramCaption), Text(AxisRefusalText(outcome.refusal)));
        return;
    }
    accept();
    chart_.zones().MarkSettingsChanged();
}

void TDlgParam::BAnulujClick() {
    reject();
}

void TDlgParam::ShowAxisSettings(const AxisSettings& settings) {
    CheckBVisible->setChecked(settings.visible != 0);
    CheckBLog->setChecked(settings.logarithmic != 0);
    CheckBAuto->setChecked(settings.automatic != 0);
    CheckBAutomax->setChecked(settings.autoMaximum != 0);
    CheckBAutomin->setChecked(settings.autoMinimum != 0);
    EditMin->setText(QString::number(settings.minimum));
    EditMax->setText(QString::number(settings.maximum));
    EditFormat->setText(QString::fromStdString(settings.format));
    CheckBAutoClick();
}

void TDlgParam::StoreControls(AxisSettings& settings, const char* message) {
    AxisControls controls;
    controls.visible = CheckBVisible->isChecked();
    controls.logarithmic = CheckBLog->isChecked();
    controls.automatic = CheckBAuto->isChecked();
    controls.autoMaximum = CheckBAutomax->isChecked();
    controls.autoMinimum = CheckBAutomin->isChecked();
    controls.maximumText = EditMax->text().toStdString();
    controls.minimumText = EditMin->text().toStdString();
    controls.format = EditFormat->text().toStdString();
    if (!StoreAxisControls(controls, settings, QLocale().decimalPoint().toStdString())) {
        ShowError(Text(kAxisDialogErrorCaption), Text(message));
    }
}

void TDlgParam::ShowError(const QString& caption, const QString& text) {
    QMessageBox::critical(this, caption, text);
}

} // namespace hz70
