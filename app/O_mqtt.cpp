// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_mqtt.h"

#include "model/Captions.h"
#include "views/ArialFont.h"
#include "views/Utf8Text.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <utility>
#include <variant>

namespace hz70 {
namespace {

constexpr int kTextPixels = 10;
constexpr int kLeft = 16;
constexpr int kFieldWidth = 388;
constexpr int kChooserWidth = 24;

void Label(QWidget* parent, const char* text, QRect place) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(place);
}

QLineEdit* Field(QWidget* parent, const char* name, QRect place) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(place);
    return field;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* text, QRect place) {
    auto* check = new QCheckBox(QString::fromUtf8(text), parent);
    check->setObjectName(QString::fromLatin1(name));
    check->setGeometry(place);
    return check;
}

std::string FieldText(const QLineEdit* field) {
    return field->text().trimmed().toStdString();
}

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TOMqtt::TOMqtt(const PublishingSettings& current, std::string defaultSystem, QWidget* parent)
    : QDialog(parent), settings_(current), defaultSystem_(std::move(defaultSystem)) {
    setObjectName(QStringLiteral("OMqtt"));
    setWindowTitle(QStringLiteral("Publikacja MQTT"));
    setFixedSize(420, 380);
    setFont(ArialFont(kTextPixels));
    CreateControls();
    connect(Button1, &QPushButton::clicked, this, &TOMqtt::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    FormShow();
}

void TOMqtt::CreateControls() {
    auto* frame = new QGroupBox(this);
    frame->setGeometry(8, 6, 404, 332);
    CheckBoxPub = Check(this, "CheckBoxPub", "Publikuj do brokera MQTT", {kLeft, 14, kFieldWidth, 18});
    Label(this, "Adres brokera: mqtt://[użytkownik@]host[:port] lub mqtts://... (TLS)",
          {kLeft, 38, kFieldWidth, 16});
    EditUrl = Field(this, "EditUrl", {kLeft, 54, kFieldWidth, 22});
    Label(this, "Nazwa systemu (tematy hz70/nazwa/...)", {kLeft, 80, kFieldWidth, 16});
    EditSystem = Field(this, "EditSystem", {kLeft, 96, kFieldWidth, 22});
    Label(this, "Użytkownik", {kLeft, 122, 190, 16});
    Label(this, "Hasło", {214, 122, 190, 16});
    EditUser = Field(this, "EditUser", {kLeft, 138, 190, 22});
    EditPassword = Field(this, "EditPassword", {214, 138, 190, 22});
    EditPassword->setEchoMode(QLineEdit::Password);
    const QString certificates = QStringLiteral("Certyfikaty (*.pem *.crt);;Wszystkie pliki (*)");
    EditCa = FileField("EditCa", "Plik urzędu certyfikacji (CA) brokera", 164, certificates);
    EditCert = FileField("EditCert", "Certyfikat klienta (opcjonalnie)", 206, certificates);
    EditKey = FileField("EditKey", "Klucz certyfikatu klienta", 248,
                        QStringLiteral("Klucze (*.pem *.key);;Wszystkie pliki (*)"));
    CheckBoxHa = Check(this, "CheckBoxHa", "Wykrywanie w Home Assistant (MQTT discovery)",
                       {kLeft, 292, kFieldWidth, 18});
    CheckBoxCommands = Check(this, "CheckBoxCommands", "Przyjmuj polecenia z brokera (nastawy i tryb stref)",
                             {kLeft, 314, kFieldWidth, 18});

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(256, 347, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Anuluj"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(337, 347, 75, 25);
}

// A file name field with its "..." chooser beside it.
QLineEdit* TOMqtt::FileField(const char* name, const char* label, int top, const QString& filter) {
    Label(this, label, {kLeft, top, kFieldWidth, 16});
    QLineEdit* field = Field(this, name, {kLeft, top + 16, kFieldWidth - kChooserWidth - 4, 22});
    auto* chooser = new QPushButton(QStringLiteral("..."), this);
    chooser->setObjectName(QString::fromLatin1(name) + QStringLiteral("Choose"));
    chooser->setGeometry(kLeft + kFieldWidth - kChooserWidth, top + 16, kChooserWidth, 22);
    const QString caption = QString::fromUtf8(label);
    connect(chooser, &QPushButton::clicked, this, [this, field, caption, filter] {
        const QString file =
            QFileDialog::getOpenFileName(this, caption, QFileInfo(field->text()).absolutePath(), filter);
        if (!file.isEmpty()) {
            field->setText(file);
        }
    });
    return field;
}

void TOMqtt::FormShow() {
    const publish::BrokerSettings& broker = settings_.broker;
    CheckBoxPub->setChecked(settings_.enabled);
    publish::BrokerSettings address = broker;
    address.user.clear();
    EditUrl->setText(FromUtf8(publish::BrokerUrlText(address)));
    EditSystem->setText(FromUtf8(broker.system.empty() ? defaultSystem_ : broker.system));
    EditUser->setText(FromUtf8(broker.user));
    EditPassword->setText(FromUtf8(broker.password));
    EditCa->setText(FromUtf8(broker.caFile));
    EditCert->setText(FromUtf8(broker.certFile));
    EditKey->setText(FromUtf8(broker.keyFile));
    CheckBoxHa->setChecked(broker.haDiscovery);
    CheckBoxCommands->setChecked(broker.commands);
}

std::string TOMqtt::Collect(PublishingSettings& chosen) const {
    chosen.enabled = CheckBoxPub->isChecked();
    publish::BrokerSettings& broker = chosen.broker;
    const std::string url = FieldText(EditUrl);
    if (url.empty() && chosen.enabled) {
        return "Podaj adres brokera MQTT.";
    }
    if (!url.empty()) {
        auto parsed = publish::ParseBrokerUrl(url);
        if (const auto* reason = std::get_if<std::string>(&parsed)) {
            // Not the address itself: it may hold the password the address refuses.
            return "Błędny adres brokera MQTT.\nAdres ma postać mqtt://[użytkownik@]host[:port] lub "
                   "mqtts://[użytkownik@]host[:port]; hasło podaje się w polu „Hasło”.\n(" +
                   *reason + ")";
        }
        const auto& address = std::get<publish::BrokerUrl>(parsed);
        publish::SetBrokerAddress(broker, address);
        broker.user = address.user;
    }
    if (const std::string user = FieldText(EditUser); !user.empty()) {
        if (!broker.user.empty() && broker.user != user) {
            return "Adres brokera podaje użytkownika „" + broker.user + "”, a pole „Użytkownik” — „" + user +
                   "”.";
        }
        broker.user = user;
    }
    broker.password = EditPassword->text().toStdString();
    broker.system = FieldText(EditSystem);
    if (broker.system.empty()) {
        broker.system = defaultSystem_;
    }
    if (const std::string fault = SystemNameFault(broker.system); !fault.empty()) {
        return "Nazwa systemu „" + broker.system + "” " + fault + ".";
    }
    broker.caFile = FieldText(EditCa);
    broker.certFile = FieldText(EditCert);
    broker.keyFile = FieldText(EditKey);
    if (broker.certFile.empty() != broker.keyFile.empty()) {
        return "Certyfikat klienta i jego klucz podaje się razem.";
    }
    if (!broker.tls && !(broker.caFile.empty() && broker.certFile.empty())) {
        return "Pliki certyfikatów są używane tylko z szyfrowanym połączeniem: podaj adres mqtts://...";
    }
    broker.haDiscovery = CheckBoxHa->isChecked();
    broker.commands = CheckBoxCommands->isChecked();
    return {};
}

void TOMqtt::Button1Click() {
    PublishingSettings chosen = settings_;
    if (const std::string fault = Collect(chosen); !fault.empty()) {
        QMessageBox::warning(this, Text(kShortCaption), FromUtf8(fault));
        return;
    }
    settings_ = std::move(chosen);
    accept();
}

} // namespace hz70
