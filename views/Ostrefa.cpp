// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/Ostrefa.h"

#include "model/ZoneOperations.h"
#include "views/ArialFont.h"
#include "views/O_param.h"

#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>
#include <QTextDocument>

namespace hz70 {
namespace {

constexpr int kPanelWidth = 150;
constexpr int kPanelHeight = 415;
constexpr QSize kLampSize{25, 9};
constexpr QSize kFieldSize{48, 24};
constexpr QSize kPictogramSize{16, 16};
constexpr QSize kSignSize{20, 20};
constexpr int kTextPixels = 11;

const QString kNoTransmissionTip = QStringLiteral("Brak transmisji");

QPixmap Picture(const QString& path, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(path).render(&painter);
    return pixmap;
}

QPixmap NoTransmissionSign() {
    static const QPixmap sign = Picture(QStringLiteral(":/pictograms/no-transmission.svg"), kSignSize);
    return sign;
}

// A tool tip that looks like markup is shown as markup: such a text is escaped so that it reads as typed.
QString PlainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpacePre) : text;
}

template <typename Widget>
void ShowText(Widget* widget, const QString& text) {
    if (widget->text() != text) {
        widget->setText(text);
    }
}

QLabel* Text(QWidget* parent, const QString& text, QPoint at, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->move(at);
    label->adjustSize();
    return label;
}

struct LampPlace {
    Lamp lamp;
    const char* name;
    QPoint at;
    const char* tip; // nullptr: none
};

// The function lamps' meanings stand beside them as labels.
constexpr LampPlace kLampPlaces[] = {
    {Lamp::kLoadFault, "StaticText10", {8, 56}, "uszkodzenie odbiornika"},
    {Lamp::kLeakage, "StaticText11", {40, 56}, "przekroczenie prądu upływu"},
    {Lamp::kSensorFault, "StaticText12", {72, 56}, "uszkodzenie czujnika"},
    {Lamp::kTemperatureAlarm, "StaticText13", {104, 56}, "alarm temperatury"},
    {Lamp::kFahrenheit, "StaticText14", {8, 88}, "stopnie Fahrenheita"},
    {Lamp::kCelsius, "StaticText15", {40, 88}, "stopnie Celsjusza"},
    {Lamp::kPowerUnit, "StaticText16", {72, 88}, nullptr},
    {Lamp::kCurrentUnit, "StaticText17", {104, 88}, nullptr},
    {Lamp::kManual, "StaticText18", {8, 256}, "sterowanie ręczne"},
    {Lamp::kSoftStart, "StaticText19", {40, 256}, "miękki start"},
    {Lamp::kStop, "StaticText20", {72, 256}, "stop"},
    {Lamp::kAutomatic, "StaticText21", {104, 256}, "sterowanie automatyczne"},
    {Lamp::kPidTuning, "StaticText5", {8, 328}, nullptr},
    {Lamp::kFuzzyLogic, "StaticText6", {8, 344}, nullptr},
    {Lamp::kPhaseControl, "StaticText7", {8, 360}, nullptr},
    {Lamp::kBinaryInputClosed, "StaticText8", {8, 376}, nullptr},
    {Lamp::kRelayOutputClosed, "StaticText9", {8, 392}, nullptr},
};

struct TextPlace {
    const char* text;
    QPoint at;
};

constexpr TextPlace kFunctionLabels[] = {
    {"Dobór nastaw PID", {40, 328}},      {"Fuzzy Logic", {40, 344}},
    {"Sterowanie fazowe", {40, 360}},     {"Wejście bin. zwarte", {40, 376}},
    {"Wyjście przek. zwarte", {40, 392}},
};

struct PictogramPlace {
    const char* name;
    const char* picture;
    QPoint at;
};

constexpr PictogramPlace kPictograms[] = {
    {"Image13", "heater", {12, 32}},    {"Image14", "earth-leakage", {44, 32}},
    {"Image15", "sensor", {76, 32}},    {"Image16", "thermometer", {108, 32}},
    {"Image17", "hand", {12, 232}},     {"Image18", "ramp", {44, 232}},
    {"Image19", "letter-s", {76, 232}}, {"Image20", "control-loop", {108, 232}},
};

} // namespace

TStrefa::TStrefa(ZoneOperations& zones, QWidget* parent) : QFrame(parent), zones_(zones) {
    setFixedSize(kPanelWidth, kPanelHeight);
    setFont(ArialFont(kTextPixels));

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bevel1->setGeometry(0, 322, 150, 88);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 0, 150, 323);

    Label1 = new QLabel(QStringLiteral("STREFA 1"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText); // zone names are shown as typed, never as markup
    Label1->setFont(ArialFont(13, true));
    QPalette titleColours = Label1->palette();
    titleColours.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label1->setPalette(titleColours);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label1->setGeometry(1, 6, 147, 16);

    Image21 = new QLabel(Panel1);
    Image21->setObjectName(QStringLiteral("Image21"));
    Image21->setGeometry(QRect(QPoint(117, 9), kSignSize));
    Image21->setPixmap(NoTransmissionSign());
    Image21->setToolTip(kNoTransmissionTip);

    CreatePictograms();
    CreateLamps();
    CreateValueFields();
    CreateButtons();
}

void TStrefa::CreatePictograms() {
    for (const PictogramPlace& p : kPictograms) {
        auto* image = new QLabel(Panel1);
        image->setObjectName(QString::fromLatin1(p.name));
        image->setGeometry(QRect(p.at, kPictogramSize));
        image->setPixmap(
            Picture(QStringLiteral(":/pictograms/%1.svg").arg(QLatin1String(p.picture)), kPictogramSize));
    }
    const QFont unitFont = ArialFont(15, true);
    const TextPlace units[] = {{"°F", {13, 72}}, {"°C", {45, 72}}, {"%", {78, 72}}, {"A", {112, 72}}};
    for (const TextPlace& u : units) {
        Text(Panel1, QString::fromUtf8(u.text), u.at, unitFont);
    }
}

void TStrefa::CreateLamps() {
    for (const LampPlace& p : kLampPlaces) {
        const bool onFunctionBevel = p.at.y() >= Bevel1->y();
        auto* lamp = new QLabel(onFunctionBevel ? static_cast<QWidget*>(this) : Panel1);
        lamp->setObjectName(QString::fromLatin1(p.name));
        lamp->setGeometry(QRect(p.at, kLampSize));
        lamp->setFrameStyle(QFrame::Box | QFrame::Plain);
        lamp->setLineWidth(1);
        lamp->setAutoFillBackground(true);
        if (p.tip != nullptr) {
            lamp->setToolTip(QString::fromUtf8(p.tip));
        }
        Paint(lamp, LampColour(p.lamp, DesignLampState(p.lamp)));
        lamps_[static_cast<std::size_t>(p.lamp)] = lamp;
    }
    for (const TextPlace& l : kFunctionLabels) {
        Text(this, QString::fromUtf8(l.text), l.at, font());
    }
}

void TStrefa::CreateValueFields() {
    const TextPlace captions[] = {{"Temperatura mierzona", {8, 104}},
                                  {"Wartość zadana", {8, 136}},
                                  {"Moc wyjściowa", {8, 168}},
                                  {"Prąd odbiornika", {8, 200}}};
    const QPoint fieldPlaces[] = {{80, 106}, {80, 138}, {80, 170}, {80, 202}};
    const QFont fieldFont = ArialFont(16);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        auto* caption = new QLabel(QString::fromUtf8(captions[i].text), Panel1);
        caption->setWordWrap(true);
        caption->setGeometry(QRect(captions[i].at, QSize(70, 28)));

        auto* field = new QLabel(QString::fromLatin1(kDesignFieldText), Panel1);
        field->setObjectName(QStringLiteral("StaticText%1").arg(i + 1));
        field->setFont(fieldFont);
        field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        field->setAlignment(Qt::AlignCenter);
        field->setGeometry(QRect(fieldPlaces[i], kFieldSize));
        fields_[i] = field;
    }
    StaticText1 = fields_[0];
    StaticText2 = fields_[1];
    StaticText3 = fields_[2];
    StaticText4 = fields_[3];
    Text(Panel1, QStringLiteral("%"), {132, 173}, font());
    Text(Panel1, QStringLiteral("A"), {132, 204}, font());
}

void TStrefa::CreateButtons() {
    Button1 = new QPushButton(QStringLiteral("Parametry"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setToolTip(QStringLiteral("Edycja parametrów"));
    Button1->setGeometry(8, 288, 58, 25);
    connect(Button1, &QPushButton::clicked, this, &TStrefa::Button1Click);

    Button2 = new QPushButton(QString::fromLatin1(kAutomaticCaption), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setToolTip(QStringLiteral("Tryb obniżonej temp. / Regulacja automatyczna"));
    Button2->setGeometry(80, 288, 58, 25);
    connect(Button2, &QPushButton::clicked, this, &TStrefa::Button2Click);
}

void TStrefa::SetTitle(const std::string& name) {
    Label1->setText(QString::fromStdString(PanelTitle(name)));
    Label1->setToolTip(PlainToolTip(QString::fromStdString(name)));
}

// Every poll of the zone comes here: only what differs from the shown state is touched, so that an
// unchanged zone costs no repaint.
void TStrefa::ShowValues(const TRegulator& record) {
    const ZonePanelState shown = DecodeZonePanel(record);
    ShowTransmission(shown.noTransmission);
    for (const LampPlace& p : kLampPlaces) {
        Paint(LampLabel(p.lamp), LampColour(p.lamp, shown.lamp(p.lamp)));
    }
    ShowText(Button2, QString::fromLatin1(shown.modeCaption));
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        ShowText(fields_[i], QString::fromStdString(shown.fields[i]));
    }
}

void TStrefa::ShowTransmission(bool missing) {
    if (Image21->pixmap().isNull() != missing) {
        return;
    }
    if (missing) {
        Image21->setPixmap(NoTransmissionSign());
        Image21->setToolTip(kNoTransmissionTip);
    } else {
        Image21->clear();
        Image21->setToolTip(QString());
    }
    Image21->setEnabled(missing);
}

void TStrefa::Paint(QLabel* lamp, Rgb colour) {
    const QColor wanted(colour.red, colour.green, colour.blue);
    if (lamp->palette().color(QPalette::Window) == wanted) {
        return;
    }
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, wanted);
    palette.setColor(QPalette::WindowText, Qt::black);
    lamp->setPalette(palette);
}

void TStrefa::Button1Click() {
    TDlgProg dialog(zones_, this);
    dialog.regulator = regulator;
    dialog.exec();
}

void TStrefa::Button2Click() {
    if (regulator == nullptr) {
        return;
    }
    // No confirmation: the lamps and the caption follow at the zone's next poll.
    const ExchangeResult result =
        zones_.WriteZoneSetting(*regulator, regulator->settings[kStopRegister - kFirstSettingRegister].reg,
                                ModeToggleValue(*regulator));
    if (result != ExchangeResult::kWriteOk) {
        QMessageBox::warning(this, QStringLiteral("Uwaga"), QStringLiteral("Błąd transmisji"));
    }
}

} // namespace hz70
