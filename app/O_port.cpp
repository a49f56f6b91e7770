// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_port.h"

#include "app/core/AppState.h"
#include "app/core/ZoneListEditor.h"
#include "comm/PortNames.h"
#include "comm/Trans.h"
#include "model/Captions.h"
#include "views/ArialFont.h"
#include "views/Utf8Text.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace hz70 {
namespace {

const char* const kModeItems[] = {
    "ASCII 8N1 - 8 bitów danych, brak bitu parzystości, bit stopu",
    "ASCII 7E1 - 7 bitów danych, bit parzystości, bit stopu",
    "ASCII 7O1 - 7 bitów danych, bit nieparzystości, bit stopu",
    "RTU 8N2  - 8 bitów danych, brak bitu parzystości, 2 bity stopu",
    "RTU 8E1  - 8 bitów danych, bit parzystości, bit stopu",
    "RTU 8O1  - 8 bitów danych, bit nieparzystości, bit stopu",
    "RTU 8N1  - 8 bitów danych, brak bitu parzystości, bit stopu",
};
constexpr int kBaudItems = 8; // 300 .. 38400
// The framing list is 317 pixels wide: its longest item must fit whole beside the arrow.
constexpr int kTextPixels = 10;

QComboBox* List(QWidget* parent, const char* name, QRect place) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    list->setGeometry(place);
    return list;
}

void Label(QWidget* parent, const char* text, QRect place) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(place);
}

// Selects item `index`, or none when the list does not hold it.
void Select(QComboBox* list, int index) {
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

// The selected index, or the link's current value when nothing is selected (the link held a value the
// list does not offer).
int SelectedOr(const QComboBox* list, int current) {
    return list->currentIndex() >= 0 ? list->currentIndex() : current;
}

} // namespace

TOPort::TOPort(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("OPort"));
    setWindowTitle(QStringLiteral("Ustawienia portu"));
    setFixedSize(354, 162);
    setFont(ArialFont(kTextPixels));
    CreateControls();

    setTabOrder(ComboBoxP, ComboBoxB);
    setTabOrder(ComboBoxB, EditTm);
    setTabOrder(EditTm, ComboBoxT);
    setTabOrder(ComboBoxT, Button1);
    setTabOrder(Button1, Button2);

    connect(ComboBoxP, &QComboBox::currentIndexChanged, this, &TOPort::ShowDevice);
    connect(Button1, &QPushButton::clicked, this, &TOPort::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    FormShow();
}

void TOPort::CreateControls() {
    auto* frame = new QGroupBox(this);
    frame->setGeometry(8, 6, 338, 112);
    Label(this, "Port", {16, 14, 88, 16});
    Label(this, "Prędkość", {112, 14, 104, 16});
    Label(this, "Timeout [ms]", {224, 14, 109, 16});
    Label(this, "Tryb transmisji", {16, 70, 317, 16});

    ComboBoxP = List(this, "ComboBoxP", {16, 30, 88, 22});
    for (int i = 1; i <= kPortCount; ++i) {
        ComboBoxP->addItem(QStringLiteral("COM%1").arg(i));
    }
    ComboBoxB = List(this, "ComboBoxB", {112, 30, 104, 22});
    for (int i = 0; i < kBaudItems; ++i) {
        ComboBoxB->addItem(QString::fromLatin1(kBaudTable[static_cast<std::size_t>(i)].text));
    }
    EditTm = new QLineEdit(this);
    EditTm->setObjectName(QStringLiteral("EditTm"));
    EditTm->setGeometry(224, 30, 109, 22);
    DeviceLabel = new QLabel(this);
    DeviceLabel->setObjectName(QStringLiteral("DeviceLabel"));
    DeviceLabel->setGeometry(16, 54, 317, 16);
    DeviceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ComboBoxT = List(this, "ComboBoxT", {16, 86, 317, 22});
    for (const char* item : kModeItems) {
        ComboBoxT->addItem(QString::fromUtf8(item));
    }

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(190, 127, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Anuluj"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(271, 127, 75, 25);
}

void TOPort::FormShow() {
    TTransSettings settings;
    state_.trans.GetSettings(settings);
    Select(ComboBoxP, settings.COM);
    Select(ComboBoxB, settings.Baud);
    // The link may run at a rate the list does not offer (from the settings file): say which one.
    ComboBoxB->setPlaceholderText(
        QString::fromLatin1(kBaudTable[static_cast<std::size_t>(settings.Baud)].text));
    Select(ComboBoxT, settings.Mode);
    EditTm->setText(QString::asprintf("%d", settings.Timeout));
    ShowDevice();
}

void TOPort::ShowDevice() {
    const std::string name = ComboBoxP->currentText().toStdString();
    const auto device = ResolveComName(name);
    const QString text = device ? QStringLiteral("%1 → %2").arg(QString::fromStdString(name),
                                                                QString::fromStdString(device->string()))
                                : QStringLiteral("%1: brak urządzenia").arg(QString::fromStdString(name));
    // A long working-directory path is cut in the middle, so that the device's own name stays in view.
    DeviceLabel->setText(DeviceLabel->fontMetrics().elidedText(text, Qt::ElideMiddle, DeviceLabel->width()));
    DeviceLabel->setToolTip(text);
}

void TOPort::Button1Click() {
    const auto timeout = ParseDecimalField(EditTm->text().toStdString());
    if (!timeout) {
        QMessageBox::warning(this, Text(kShortCaption), QStringLiteral("Błędnie wprowadzono dane"));
        reject();
        return;
    }
    TTransSettings current;
    state_.trans.GetSettings(current);
    const TTransSettings chosen{SelectedOr(ComboBoxP, current.COM), SelectedOr(ComboBoxB, current.Baud),
                                SelectedOr(ComboBoxT, current.Mode), 0, *timeout};
    state_.trans.Close();
    (void)state_.trans.SetSettings(chosen);
    state_.SettingsChanged = true;
    accept();
}

} // namespace hz70
