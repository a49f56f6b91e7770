// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_param.h"

#include "model/ZoneOperations.h"
#include "views/ArialFont.h"
#include "views/TabColumnDelegate.h"
#include "views/core/ZoneParameters.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>

namespace hz70 {
namespace {

constexpr int kTextPixels = 11;

QLabel* Caption(const QString& text, QPoint at, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->move(at);
    label->adjustSize();
    return label;
}

// The value input: tabbing into it leaves its text unselected, so that the operator edits the value
// rather than replacing it by accident; a click selects it all (Edit1Click).
class ValueEdit final : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        const Qt::FocusReason reason = event->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason) {
            deselect();
        }
    }
};

QPushButton* Button(const QString& text, const char* name, QRect place, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(place);
    return button;
}

} // namespace

TDlgProg::TDlgProg(ZoneOperations& zones, QWidget* parent) : QDialog(parent), zones_(zones) {
    setObjectName(QStringLiteral("DlgProg"));
    setWindowTitle(QStringLiteral("Parametry w strefie"));
    setFont(ArialFont(kTextPixels));
    setFixedSize(310, 314);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Box | QFrame::Raised);
    panel->setGeometry(rect());

    Label1 = Caption(QStringLiteral("Parametr"), {16, 8}, panel);
    Label3 = Caption(QStringLiteral("Wartość"), {208, 8}, panel);
    ListBox1 = new QListWidget(panel);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(16, 24, 281, 217);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The text after the tab is a space and the value: the value starts under the "Wartość" heading.
    const int valueColumn = Label3->x() - ListBox1->x() - ListBox1->frameWidth() -
                            TabColumnDelegate::TextMargin(ListBox1) -
                            QFontMetrics(font()).horizontalAdvance(QLatin1Char(' '));
    ListBox1->setItemDelegate(new TabColumnDelegate(valueColumn, ListBox1));

    Label2 = Caption(QStringLiteral("Wartość"), {16, 248}, panel);
    Edit1 = new ValueEdit(panel);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(16, 264, 89, 21);
    Edit1->installEventFilter(this);

    BtnZastosuj = Button(QStringLiteral("Zastosuj"), "BtnZastosuj", {112, 264, 70, 25}, panel);
    BtnZastosuj->setDefault(true);
    BtnZamknij = Button(QStringLiteral("Zamknij"), "BtnZamknij", {192, 264, 70, 25}, panel);
    Label4 = new QLabel(panel);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(16, 294, 281, 16);

    connect(ListBox1, &QListWidget::currentRowChanged, this, &TDlgProg::ListBox1Click);
    connect(ListBox1, &QListWidget::itemClicked, this, &TDlgProg::ListBox1Click);
    connect(BtnZastosuj, &QPushButton::clicked, this, &TDlgProg::BtnZastosujClick);
    connect(BtnZamknij, &QPushButton::clicked, this, &QDialog::reject);
}

void TDlgProg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Before the dialog appears, so that it opens with the values read.
    if (!event->spontaneous()) {
        FormShow();
    }
}

bool TDlgProg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit1 && event->type() == QEvent::MouseButtonRelease) {
        Edit1Click();
    }
    return QDialog::eventFilter(watched, event);
}

void TDlgProg::FormShow() {
    if (regulator == nullptr) {
        return;
    }
    const bool read = zones_.ReadZoneSettings(*regulator) == ReadOutcome::kRead;
    setWindowTitle(QString::fromStdString(ParametersCaption(*regulator)));
    const QSignalBlocker quiet(ListBox1);
    ListBox1->clear();
    for (int i = 0; i < kSettingsBlock; ++i) {
        const TParametr& row = regulator->settings[static_cast<std::size_t>(i)];
        ListBox1->addItem(QString::fromStdString(read ? SettingLine(row) : SettingNameLine(row)));
        ListBox1->item(i)->setToolTip(QString::fromUtf8(row.description));
    }
    ListBox1->setCurrentRow(0);
    if (read) {
        Edit1->setText(QString::fromStdString(SettingValueText(regulator->settings[0])));
        SetStatus("");
    } else {
        SetStatus(kNoTransmissionStatus);
    }
}

void TDlgProg::ListBox1Click() {
    const int line = ListBox1->currentRow();
    if (line < 0 || regulator == nullptr || regulator->commError != 0) {
        return;
    }
    Edit1->setText(
        QString::fromStdString(SettingValueText(regulator->settings[static_cast<std::size_t>(line)])));
    SetStatus("");
}

void TDlgProg::BtnZastosujClick() {
    const int line = ListBox1->currentRow();
    if (line < 0 || regulator == nullptr) {
        return;
    }
    if (regulator->commError != 0) {
        SetStatus(kNoTransmissionStatus);
        return;
    }
    TParametr& row = regulator->settings[static_cast<std::size_t>(line)];
    const CheckedInput input = CheckSettingInput(Edit1->text().toStdString(), line, row);
    if (input.verdict == InputVerdict::kNotANumber) {
        RefuseInput(kBadInputStatus);
        return;
    }
    if (input.verdict == InputVerdict::kOutOfRange) {
        RefuseInput(kOutOfRangeStatus);
        return;
    }
    const ExchangeResult result = zones_.WriteZoneSetting(*regulator, row.reg, input.word);
    const WriteOutcome outcome = DescribeWrite(result, regulator->writeException);
    if (outcome.written) {
        row.raw = static_cast<std::int16_t>(input.word);
        ListBox1->item(line)->setText(QString::fromStdString(SettingLine(row)));
    }
    SetStatus(outcome.status);
    if (outcome.focusInput) {
        Edit1->setFocus();
    }
}

void TDlgProg::Edit1Click() {
    Edit1->selectAll();
}

void TDlgProg::SetStatus(const char* text) {
    Label4->setText(QString::fromUtf8(text));
}

void TDlgProg::RefuseInput(const char* text) {
    SetStatus(text);
    Edit1->setFocus();
}

} // namespace hz70
