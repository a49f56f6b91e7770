// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_port.h"

#include "app/core/AppState.h"
#include "app/core/ZoneListEditor.h"
#include "comm/PortNames.h"
#include "comm/Trans.h"
#include "model/Captions.h"
#include "views/Utf8Text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

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

QComboBox* List(QWidget* parent, const char* name) {
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    return list;
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

    ComboBoxP = List(this, "ComboBoxP");
    for (int i = 1; i <= kPortCount; ++i) {
        ComboBoxP->addItem(QStringLiteral("COM%1").arg(i));
    }
    ComboBoxB = List(this, "ComboBoxB");
    for (int i = 0; i < kBaudItems; ++i) {
        ComboBoxB->addItem(QString::fromLatin1(kBaudTable[static_cast<std::size_t>(i)].text));
    }
    EditTm = new QLineEdit(this);
    EditTm->setObjectName(QStringLiteral("EditTm"));
    ComboBoxT = List(this, "ComboBoxT");
    for (const char* item : kModeItems) {
        ComboBoxT->addItem(QString::fromUtf8(item));
    }
    ComboBoxT->setMinimumWidth(317);
    DeviceLabel = new QLabel(this);
    DeviceLabel->setObjectName(QStringLiteral("DeviceLabel"));
    DeviceLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Anuluj"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto* frame = new QGroupBox(this);
    auto* fields = new QGridLayout(frame);
    fields->addWidget(new QLabel(QStringLiteral("Port"), frame), 0, 0);
    fields->addWidget(new QLabel(QStringLiteral("Prędkość"), frame), 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Timeout [ms]"), frame), 0, 2);
    fields->addWidget(ComboBoxP, 1, 0);
    fields->addWidget(ComboBoxB, 1, 1);
    fields->addWidget(EditTm, 1, 2);
    fields->addWidget(DeviceLabel, 2, 0, 1, 3);
    fields->addWidget(new QLabel(QStringLiteral("Tryb transmisji"), frame), 3, 0, 1, 3);
    fields->addWidget(ComboBoxT, 4, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    resize(354, 162);

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

void TOPort::FormShow() {
    TTransSettings settings;
    state_.trans.GetSettings(settings);
    ComboBoxP->setCurrentIndex(settings.COM < ComboBoxP->count() ? settings.COM : -1);
    ComboBoxB->setCurrentIndex(settings.Baud < ComboBoxB->count() ? settings.Baud : -1);
    ComboBoxT->setCurrentIndex(settings.Mode < ComboBoxT->count() ? settings.Mode : -1);
    EditTm->setText(QString::asprintf("%d", settings.Timeout));
    ShowDevice();
}

void TOPort::ShowDevice() {
    const std::string name = ComboBoxP->currentText().toStdString();
    const auto device = ResolveComName(name);
    DeviceLabel->setText(device ? QStringLiteral("%1 → %2").arg(QString::fromStdString(name),
                                                                QString::fromStdString(device->string()))
                                : QStringLiteral("%1: brak urządzenia").arg(QString::fromStdString(name)));
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
    state_.trans.SetSettings(chosen);
    state_.SettingsChanged = true;
    accept();
}

} // namespace hz70
