// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Hz70main.h"

#include "app/AboutBox.h"
#include "app/MdiChildWindow.h"
#include "app/O_alarmy.h"
#include "app/O_lista.h"
#include "app/O_mqtt.h"
#include "app/O_port.h"
#include "app/core/LinkStatus.h"
#include "app/core/PollCsv.h"
#include "app/core/RemoteCommands.h"
#include "model/Captions.h"
#include "publish/AlarmMessages.h"
#include "publish/Publisher.h"
#include "views/O_barg.h"
#include "views/O_synop.h"
#include "views/O_tabela.h"
#include "views/O_wykres.h"
#include "views/Utf8Text.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QSysInfo>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <sstream>
#include <utility>

// Resources linked from a static library must be registered by name.
static void InitResources() {
    Q_INIT_RESOURCE(hz70wiz);
}

namespace hz70 {

namespace {

constexpr int kPollIntervalMs = 100;
constexpr int kToolBarHeight = 33;
constexpr int kCappedTimeoutShownMs = 15000;
constexpr int kCommandShownMs = 15000;
const QString kCaption = Text(kProgramCaption);

// The value a command asked for, as the operator would have typed it: the mode by its name, a setting
// with its unit; one that was not taken, as it came when that is short plain text.
std::string RequestedText(const CommandReport& report) {
    const publish::CommandResult& result = report.result;
    if (result.requested && result.setting == "mode") {
        return *result.requested == 0 ? "stop" : "auto";
    }
    if (result.requested) {
        std::ostringstream text;
        text << *result.requested << (result.unit.empty() ? "" : " " + result.unit);
        return text.str();
    }
    const std::string& payload = report.request.payload;
    const bool plain =
        payload.size() <= RemoteCommands::kPayloadLimit &&
        std::all_of(payload.begin(), payload.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    return plain ? payload : "(nieczytelna wartość)";
}

// "MQTT: strefa 2, SP = 180 °C — zapisano", or the reason it was refused.
std::string CommandStatusText(const CommandReport& report) {
    const publish::CommandResult& result = report.result;
    std::string text = "MQTT: ";
    if (result.zone != 0 && !result.setting.empty()) {
        text += "strefa " + std::to_string(result.zone) + ", " +
                (result.setting == "mode" ? std::string("tryb") : result.setting) + " = " +
                RequestedText(report);
    } else {
        text += "polecenie " + report.request.topic;
    }
    return text + " — " + (result.ok ? std::string("zapisano") : result.reason);
}

QIcon ToolImage(int index) {
    return QIcon(QStringLiteral(":/icons/tool-%1.svg").arg(index, 2, 10, QLatin1Char('0')));
}

// A tool-bar separator of a given width: a thin line in the middle of an empty space.
QWidget* Separator(int width, QWidget* parent) {
    auto* space = new QWidget(parent);
    space->setFixedWidth(width);
    auto* line = new QFrame(space);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* layout = new QHBoxLayout(space);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->addWidget(line, 0, Qt::AlignHCenter);
    return space;
}

// Keeps `window`'s outer frame, title bar included, at `bounds`. The window system tells the frame's size
// only once the window is on the screen, so the client area is fitted to it then, once; without a frame
// (no window manager) the client area keeps the bounds.
class OuterFrameFit : public QObject {
public:
    OuterFrameFit(QWidget& window, const QRect& bounds) : QObject(&window), window_(window), bounds_(bounds) {
        window.setGeometry(bounds);
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && MayFollowTheFrame(event->type())) {
            FitOnceTheFrameIsKnown();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // The frame comes with the window manager's first moves and paints of the shown window.
    static bool MayFollowTheFrame(QEvent::Type type) {
        return type == QEvent::Move || type == QEvent::Resize || type == QEvent::Paint ||
               type == QEvent::WindowActivate;
    }

    void FitOnceTheFrameIsKnown() {
        const QSize frame = window_.frameGeometry().size() - window_.geometry().size();
        if (frame.isNull()) {
            return;
        }
        window_.removeEventFilter(this);
        window_.resize(bounds_.size() - frame);
        window_.move(bounds_.topLeft()); // a window's position is that of its frame
        deleteLater();
    }

    QWidget& window_;
    QRect bounds_;
};

// Says which zone start-up is asking, in a small window of its own: the identification blocks the
// thread up to a reply time-out per zone before the main window shows. Painted before each zone.
class StartupProgress {
public:
    StartupProgress() : label_(nullptr, Qt::SplashScreen) {
        label_.setObjectName(QStringLiteral("StartupProgress"));
        label_.setTextFormat(Qt::PlainText);
        label_.setFrameStyle(QFrame::Panel | QFrame::Raised);
        label_.setLineWidth(2);
        label_.setMargin(16);
        label_.setMinimumWidth(480);
    }

    void Show(const QString& text) {
        label_.setText(kCaption + QLatin1Char('\n') + text);
        if (!label_.isVisible()) {
            label_.adjustSize();
            label_.move(label_.screen()->availableGeometry().center() - label_.rect().center());
            label_.show();
        }
        // Nothing else runs yet (no timer started, no other window), so only the window system's events
        // for this window are taken, which the window needs to appear at all.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        label_.repaint();
    }

private:
    QLabel label_;
};

} // namespace

TOmain::TOmain(SerialPort& port, Clock& clock, std::filesystem::path settingsDirectory, QWidget* parent)
    : QMainWindow(parent), port_(port), clock_(clock), state_(port, clock, std::move(settingsDirectory)) {
    InitResources();
    setObjectName(QStringLiteral("Omain"));
    setWindowTitle(kCaption);
    setWindowIcon(QIcon(QStringLiteral(":/app/hz70wiz.svg")));
    new OuterFrameFit(*this, QRect(-4, -4, 1032, 746));
    mdiArea_ = new QMdiArea(this);
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea_);
    CreateActions();
    CreateMenu();
    CreateToolBar();
    LinkStatusLabel = new QLabel(this);
    LinkStatusLabel->setObjectName(QStringLiteral("LinkStatusLabel"));
    statusBar()->addWidget(LinkStatusLabel, 1);
    RecordingLabel = new QLabel(this);
    RecordingLabel->setObjectName(QStringLiteral("RecordingLabel"));
    RecordingLabel->setTextFormat(Qt::PlainText);
    statusBar()->addPermanentWidget(RecordingLabel);
    PublishingLabel = new QLabel(this);
    PublishingLabel->setObjectName(QStringLiteral("PublishingLabel"));
    PublishingLabel->setTextFormat(Qt::PlainText);
    PublishingLabel->hide();
    statusBar()->addPermanentWidget(PublishingLabel);
    AlarmLabel = new QLabel(this);
    AlarmLabel->setObjectName(QStringLiteral("AlarmLabel"));
    AlarmLabel->setTextFormat(Qt::PlainText);
    AlarmLabel->setStyleSheet(QStringLiteral("color: red"));
    AlarmLabel->hide();
    statusBar()->addPermanentWidget(AlarmLabel);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kPollIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TOmain::Timer1Timer);

    state_.onSettingsRead = [this](const TRegulator& zone) {
        if (publisher_) {
            publisher_->PublishSettings(zone);
        }
    };
    FormCreate();
    CreateViews();
    ShowLinkStatus();
    LoadPublishing();
    Timer1->start();
}

TOmain::~TOmain() {
    DestroyViews();
    FormDestroy();
}

void TOmain::FormCreate() {
    loadFailed_ = static_cast<bool>(state_.LoadSettings());
    state_.StartPolling(*this);
    {
        StartupProgress progress;
        state_.RebuildDeviceList(
            [this, &progress](int slot, int count) { progress.Show(AttachProgressText(slot, count)); });
    }
    state_.SettingsChanged = false;
    const std::filesystem::path alarms = state_.settingsDirectory() / kAlarmLogFileName;
    if (const std::string error = alarmLog_.Start(alarms); !error.empty()) {
        alarmLogWarning_ = QStringLiteral("Nie można zapisać dziennika alarmów %1:\n%2\n"
                                          "Alarmy są pokazywane, lecz nie zapisywane.")
                               .arg(QString::fromStdString(alarms.string()), QString::fromStdString(error));
    }
    alarmSettings_ = LoadAlarmSettings(state_.settingsDirectory());
    ShowAlarms();
    state_.polling.PollingEnabled = true;
}

void TOmain::FormShow() {
    OknoSasiad->trigger();
    ShowCappedTimeout();
    if (loadFailed_) {
        QMessageBox::critical(
            this, kCaption,
            QStringLiteral("Nie można odczytać całego pliku ustawień %1.\nUżyto odczytanej części, a w "
                           "pozostałych ustawieniach wartości domyślnych.\nPlik zostanie zapisany dopiero "
                           "po wybraniu „Zapisz ustawienia”.")
                .arg(QString::fromStdString(state_.settingsDirectory().string() + "/" + kSettingsFileName)));
    }
    if (!publishingWarning_.isEmpty()) {
        QMessageBox::warning(this, kCaption, std::exchange(publishingWarning_, QString()));
    }
    if (!alarmLogWarning_.isEmpty()) {
        QMessageBox::warning(this, kCaption, std::exchange(alarmLogWarning_, QString()));
    }
}

void TOmain::FormDestroy() {
    state_.trans.Close();
    if (state_.SaveDueAtExit()) {
        PlikZapiszUstExecute();
    }
}

void TOmain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        // After the frame has its size, so that tiling fills it.
        QTimer::singleShot(0, this, &TOmain::FormShow);
    }
}

void TOmain::closeEvent(QCloseEvent* event) {
    Timer1->stop();
    QMainWindow::closeEvent(event);
}

void TOmain::CreateActions() {
    struct ActionText {
        QAction** action;
        const char* name;
        const char* category;
        const char* caption;
        const char* hint;
        int image; // -1: none
    };
    const ActionText actions[] = {
        {&PlikZapiszUst, "PlikZapiszUst", "Plik", "&Zapisz ustawienia", "Zapisz ustawienia", 0},
        {&PlikKoniec, "PlikKoniec", "Plik", "&Wyjście", "Koniec", 1},
        {&OPcjeUstawPort, "OPcjeUstawPort", "Opcje", "&Ustawienia portu...", "Ustawia opcje transmisji", 3},
        {&OpcjeListaUrz, "OpcjeListaUrz", "Opcje", "&Lista HZ70...", "Konfiguracja listy HZ70", 2},
        {&OknoKaskada, "OknoKaskada", "Okno", "&Kaskada", "Wyświetla okna kaskadowo", 14},
        {&OknoSasiad, "OknoSasiad", "Okno", "&Sąsiadująco", "Wyświetla okna sąsiadująco", 15},
        {&OknoSynop, "OknoSynop", "Okno", "&Obrazy synoptyczne", "Obrazy synoptyczne", 13},
        {&OknoTabela, "OknoTabela", "Okno", "&Tabela", "Tabela", 5},
        {&OknoBarg, "OknoBarg", "Okno", "&Bargrafy", "Bargrafy", 6},
        {&OknoWykres, "OknoWykres", "Okno", "&Wykresy", "Wykresy", 4},
        {&OknoAlarmy, "OknoAlarmy", "Okno", "&Alarmy", "Dziennik alarmów", -1},
        {&PomocOprogramie, "PomocOprogramie", "Pomoc", "&O programie...", "O programie", -1},
    };
    for (const ActionText& a : actions) {
        auto* action = new QAction(QString::fromUtf8(a.caption), this);
        action->setObjectName(QString::fromLatin1(a.name));
        action->setProperty("category", QString::fromUtf8(a.category));
        action->setProperty("imageIndex", a.image);
        action->setToolTip(QString::fromUtf8(a.hint));
        action->setStatusTip(QString::fromUtf8(a.hint));
        if (a.image >= 0) {
            action->setIcon(ToolImage(a.image));
        }
        *a.action = action;
    }
    PlikRejestruj = new QAction(QStringLiteral("&Rejestruj pomiary do pliku CSV..."), this);
    PlikRejestruj->setObjectName(QStringLiteral("PlikRejestruj"));
    PlikRejestruj->setCheckable(true);
    PlikRejestruj->setStatusTip(QStringLiteral("Zapisuje każdy odczyt stref do pliku CSV"));
    OpcjePublikacja = new QAction(QStringLiteral("&Publikacja MQTT..."), this);
    OpcjePublikacja->setObjectName(QStringLiteral("OpcjePublikacja"));
    OpcjePublikacja->setStatusTip(QStringLiteral("Publikuje odczyty stref w brokerze MQTT"));
    connect(PlikZapiszUst, &QAction::triggered, this, &TOmain::PlikZapiszUstExecute);
    connect(PlikRejestruj, &QAction::toggled, this, &TOmain::PlikRejestrujToggled);
    connect(PlikKoniec, &QAction::triggered, this, &QWidget::close);
    connect(OPcjeUstawPort, &QAction::triggered, this, &TOmain::OPcjeUstawPortExecute);
    connect(OpcjeListaUrz, &QAction::triggered, this, &TOmain::OpcjeListaUrzExecute);
    connect(OpcjePublikacja, &QAction::triggered, this, &TOmain::OpcjePublikacjaExecute);
    connect(OknoKaskada, &QAction::triggered, mdiArea_, &QMdiArea::cascadeSubWindows);
    connect(OknoSasiad, &QAction::triggered, this, [this] { TileHorizontally(*mdiArea_); });
    connect(OknoSynop, &QAction::triggered, this, [this] { BringToFront(Osynop); });
    connect(OknoTabela, &QAction::triggered, this, [this] { BringToFront(OTabela); });
    connect(OknoBarg, &QAction::triggered, this, [this] { BringToFront(OBarg); });
    connect(OknoWykres, &QAction::triggered, this, [this] { BringToFront(OWykres); });
    connect(OknoAlarmy, &QAction::triggered, this, &TOmain::OknoAlarmyExecute);
    connect(PomocOprogramie, &QAction::triggered, this, [this] { AboutBox->exec(); });
}

void TOmain::CreateMenu() {
    QMenuBar* bar = menuBar();
    QMenu* plik = bar->addMenu(QStringLiteral("Plik"));
    plik->addAction(PlikZapiszUst);
    plik->addAction(PlikRejestruj);
    plik->addSeparator();
    plik->addAction(PlikKoniec);
    QMenu* opcje = bar->addMenu(QStringLiteral("Opcje"));
    opcje->addAction(OPcjeUstawPort);
    opcje->addAction(OpcjeListaUrz);
    opcje->addAction(OpcjePublikacja);
    QMenu* okno = bar->addMenu(QStringLiteral("Okno"));
    okno->addAction(OknoKaskada);
    okno->addAction(OknoSasiad);
    okno->addSeparator();
    okno->addAction(OknoSynop);
    okno->addAction(OknoWykres);
    okno->addAction(OknoTabela);
    okno->addAction(OknoBarg);
    okno->addSeparator();
    okno->addAction(OknoAlarmy);
    QMenu* pomoc = bar->addMenu(QStringLiteral("Pomoc"));
    pomoc->addAction(PomocOprogramie);
}

void TOmain::CreateToolBar() {
    toolBar_ = addToolBar(QStringLiteral("ToolBar1"));
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setFixedHeight(kToolBarHeight);
    toolBar_->addAction(OknoSynop);
    toolBar_->addAction(OknoWykres);
    toolBar_->addAction(OknoTabela);
    toolBar_->addAction(OknoBarg);
    toolBar_->addWidget(Separator(13, toolBar_));
    toolBar_->addAction(OknoKaskada);
    toolBar_->addAction(OknoSasiad);
    toolBar_->addWidget(Separator(26, toolBar_));
    toolBar_->addAction(OpcjeListaUrz);
    toolBar_->addWidget(Separator(89, toolBar_));
    toolBar_->addAction(PlikKoniec);
}

TMdiChildWindow* TOmain::AddView(TViewWindow* view) {
    auto* frame = new TMdiChildWindow;
    frame->setWidget(view);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowTitle(view->windowTitle());
    frame->setWindowIcon(windowIcon());
    mdiArea_->addSubWindow(frame);
    frame->resize(view->size() + (frame->size() - frame->contentsRect().size()));
    frame->show();
    return frame;
}

void TOmain::CreateViews() {
    OBarg = new TOBarg(state_);
    AddView(OBarg);
    OTabela = new TOTabela(state_);
    AddView(OTabela);
    OWykres = new TOWykres(state_);
    AddView(OWykres);
    Osynop = new TOsynop(state_);
    AddView(Osynop);
    AboutBox = new TAboutBox(this);
    viewsInUpdateOrder_ = {Osynop, OTabela, OWykres, OBarg};
}

void TOmain::DestroyViews() {
    // In reverse order of creation, before the settings are written: the chart hands its axes and
    // tracking period back on the way.
    Timer1->stop();
    viewsInUpdateOrder_ = {};
    delete AboutBox;
    AboutBox = nullptr;
    if (OAlarmy != nullptr) {
        delete OAlarmy->parentWidget();
        OAlarmy = nullptr;
    }
    for (TViewWindow* view : {static_cast<TViewWindow*>(Osynop), static_cast<TViewWindow*>(OWykres),
                              static_cast<TViewWindow*>(OTabela), static_cast<TViewWindow*>(OBarg)}) {
        if (view != nullptr) {
            delete view->parentWidget();
        }
    }
    Osynop = nullptr;
    OWykres = nullptr;
    OTabela = nullptr;
    OBarg = nullptr;
}

void TOmain::BringToFront(TViewWindow* view) {
    if (auto* frame = qobject_cast<QMdiSubWindow*>(view->parentWidget())) {
        if (frame->isMinimized()) {
            frame->showNormal();
        }
        mdiArea_->setActiveSubWindow(frame);
        frame->raise();
    }
}

void TOmain::RebuildDeviceList() {
    // The exchanges hold the thread: the status line is painted before each, as nothing else can be.
    state_.RebuildDeviceList([this](int slot, int count) {
        statusBar()->showMessage(AttachProgressText(slot, count));
        statusBar()->repaint();
    });
    statusBar()->clearMessage();
}

QString TOmain::AttachProgressText(int slot, int count) const {
    const ZoneList& zones = state_.settings.zones;
    // In one pass: a name is data, never a place for the next number.
    return QStringLiteral("Odczyt sterowników HZ70: strefa %1 z %2 (%3, adres %4)...")
        .arg(QString::number(slot + 1), QString::number(count),
             QString::fromStdString(zones.DevName[static_cast<std::size_t>(slot)]),
             QString::number(zones.DevAddr[static_cast<std::size_t>(slot)]));
}

void TOmain::ReshowViews() {
    for (TViewWindow* view : {static_cast<TViewWindow*>(OTabela), static_cast<TViewWindow*>(Osynop),
                              static_cast<TViewWindow*>(OWykres), static_cast<TViewWindow*>(OBarg)}) {
        view->FormShow();
    }
}

void TOmain::NotifyViews(const PollTickResult& tick) {
    if (!tick.record) {
        return;
    }
    for (TViewWindow* view : viewsInUpdateOrder_) {
        if (view != nullptr) {
            view->UpdateZone(tick.slot, *tick.record);
        }
    }
}

void TOmain::Timer1Timer() {
    const PollTickResult tick = state_.PollTick();
    NotifyViews(tick);
    RecordFinishedExchange(tick);
    ObserveAlarms(tick);
    if (publisher_) {
        publisher_->PublishTick(tick);
    }
    if (commands_) {
        RunCommands(tick);
    }
    ShowLinkStatus();
    ShowPublishingStatus();
    // From the event loop, after this tick: a timer never ticks inside its own tick, and polling must go
    // on while the question is open.
    if (state_.questionDue()) {
        QMetaObject::invokeMethod(
            this, [this] { state_.AskWaitingQuestions(); }, Qt::QueuedConnection);
    }
}

void TOmain::RecordFinishedExchange(const PollTickResult& tick) {
    if (!recorder_.recording()) {
        return;
    }
    if (const std::string reason = recorder_.Record(tick, LocalTimestamp()); !reason.empty()) {
        const std::filesystem::path file = recorder_.file();
        StopRecording();
        // After the tick: the box's own event loop must not run inside the poll step.
        QTimer::singleShot(0, this, [this, file, reason] { ShowRecordingFailure(file, reason); });
    }
}

void TOmain::ObserveAlarms(const PollTickResult& tick) {
    const std::vector<AlarmEvent> events = alarmLog_.Observe(tick);
    if (events.empty()) {
        return;
    }
    if (publisher_) {
        for (const AlarmEvent& e : events) {
            publisher_->PublishAlarm(
                e.zone, publish::AlarmJson({e.time, e.zone, e.address, e.name, e.event, e.change}));
        }
    }
    if (OAlarmy != nullptr) {
        OAlarmy->FormShow();
    }
    const bool alarmCame = std::any_of(events.begin(), events.end(),
                                       [](const AlarmEvent& event) { return event.needsAcknowledgement(); });
    if (alarmCame && alarmSettings_.sound) {
        QApplication::beep();
    }
    ShowAlarms();
}

void TOmain::ShowAlarms() {
    const QString text = UnacknowledgedText(alarmLog_.unacknowledged());
    setWindowTitle(text.isEmpty() ? kCaption : kCaption + QStringLiteral(" — ") + text);
    AlarmLabel->setText(text);
    AlarmLabel->setVisible(!text.isEmpty());
}

void TOmain::OknoAlarmyExecute() {
    if (OAlarmy == nullptr) {
        OAlarmy = new TOAlarmy(alarmLog_, alarmSettings_.sound);
        connect(OAlarmy, &TOAlarmy::acknowledged, this, &TOmain::ShowAlarms);
        connect(OAlarmy, &TOAlarmy::soundChosen, this, &TOmain::ChooseAlarmSound);
        AddView(OAlarmy);
        OAlarmy->FormShow(); // filled now, whether or not the frame is on the screen yet
    }
    BringToFront(OAlarmy);
}

void TOmain::ChooseAlarmSound(bool on) {
    alarmSettings_.sound = on;
    if (const std::error_code error = SaveAlarmSettings(state_.settingsDirectory(), alarmSettings_)) {
        QMessageBox::critical(
            this, kCaption,
            QStringLiteral("Nie można zapisać pliku %1:\n%2")
                .arg(QString::fromStdString((state_.settingsDirectory() / kAlarmSettingsFileName).string()),
                     QString::fromStdString(error.message())));
    }
}

void TOmain::PlikRejestrujToggled(bool on) {
    if (!on) {
        StopRecording();
        return;
    }
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Rejestruj pomiary do pliku CSV"),
        QDir::current().filePath(QString::fromStdString(TodaysRecordingName())),
        QStringLiteral("Pliki CSV (*.csv);;Wszystkie pliki (*)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (file.isEmpty() || !StartRecording(file.toStdString())) {
        const QSignalBlocker quiet(PlikRejestruj);
        PlikRejestruj->setChecked(false);
    }
}

bool TOmain::StartRecording(const std::filesystem::path& file) {
    if (const std::string reason = recorder_.Start(file); !reason.empty()) {
        ShowRecordingFailure(file, reason);
        return false;
    }
    const QSignalBlocker quiet(PlikRejestruj);
    PlikRejestruj->setChecked(true);
    RecordingLabel->setText(
        QStringLiteral("Rejestracja pomiarów: %1").arg(QString::fromStdString(file.string())));
    return true;
}

void TOmain::StopRecording() {
    recorder_.Stop();
    const QSignalBlocker quiet(PlikRejestruj);
    PlikRejestruj->setChecked(false);
    RecordingLabel->clear();
}

void TOmain::ShowRecordingFailure(const std::filesystem::path& file, const std::string& reason) {
    QMessageBox::critical(this, kCaption,
                          QStringLiteral("Nie można zapisywać pomiarów do pliku %1:\n%2\nRejestracja została "
                                         "zatrzymana.")
                              .arg(QString::fromStdString(file.string()), QString::fromStdString(reason)));
}

void TOmain::ShowLinkStatus() {
    const QString text = QString::fromStdString(
        LinkStatusText(state_.trans.portIndex(), state_.trans.portState(), port_.Condition(),
                       state_.reconnect.state(), state_.reconnect.awaitedDevice()));
    if (LinkStatusLabel->text() != text) {
        LinkStatusLabel->setText(text);
    }
}

// Timer1 goes on while the question is open, so that the other zones are polled and recorded meanwhile.
bool TOmain::AskStopMonitoring(const TRegulator& zone) {
    return QMessageBox::question(this, Text(kShortCaption), QString::fromStdString(StopMonitoringText(zone)),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TOmain::PlikZapiszUstExecute() {
    // The chart holds the live axes and period; the stored ones are those read at start.
    if (OWykres != nullptr) {
        OWykres->StoreSettings();
    }
    if (const std::error_code error = state_.SaveSettings()) {
        QMessageBox::critical(this, kCaption,
                              QStringLiteral("Nie można zapisać pliku ustawień w katalogu %1:\n%2")
                                  .arg(QString::fromStdString(state_.settingsDirectory().string()),
                                       QString::fromStdString(error.message())));
    }
}

void TOmain::OPcjeUstawPortExecute() {
    TOPort dialog(state_, this);
    if (dialog.exec() == QDialog::Accepted) {
        ShowCappedTimeout();
    }
    ShowLinkStatus();
}

void TOmain::ShowCappedTimeout() {
    TTransSettings settings;
    state_.trans.GetSettings(settings);
    if (const std::string text = CappedTimeoutText(settings); !text.empty()) {
        statusBar()->showMessage(QString::fromStdString(text), kCappedTimeoutShownMs);
    }
}

void TOmain::OpcjeListaUrzExecute() {
    TOListaUrz dialog(*this, this);
    dialog.exec();
}

void TOmain::OpcjePublikacjaExecute() {
    TOMqtt dialog(publishing_, DefaultSystemName(), this);
    if (dialog.exec() == QDialog::Accepted) {
        ApplyPublishing(dialog.settings());
    }
}

std::string TOmain::DefaultSystemName() const {
    TTransSettings link;
    state_.trans.GetSettings(link);
    return publish::DefaultSystemName(QSysInfo::machineHostName().toStdString(),
                                      "COM" + std::to_string(link.COM + 1));
}

void TOmain::LoadPublishing() {
    const PublishingLoad load = LoadPublishingFile(state_.settingsDirectory());
    const QString file = QString::fromStdString((state_.settingsDirectory() / kPublishingFileName).string());
    if (load.error) {
        publishingWarning_ = QStringLiteral("Nie można odczytać pliku ustawień publikacji MQTT %1:\n%2\n"
                                            "Publikacja jest wyłączona.")
                                 .arg(file, QString::fromStdString(load.error.message()));
    } else if (!load.remarks.empty()) {
        QStringList remarks;
        for (const std::string& remark : load.remarks) {
            remarks << QString::fromStdString(remark);
        }
        publishingWarning_ = QStringLiteral("W pliku ustawień publikacji MQTT %1 pominięto:\n%2")
                                 .arg(file, remarks.join(QLatin1Char('\n')));
    }
    publishing_ = load.settings;
    StartPublishing();
}

void TOmain::ApplyPublishing(const PublishingSettings& settings) {
    publishing_ = settings;
    if (const std::error_code error = SavePublishingFile(state_.settingsDirectory(), publishing_)) {
        QMessageBox::critical(this, kCaption,
                              QStringLiteral("Nie można zapisać pliku ustawień publikacji MQTT w katalogu "
                                             "%1:\n%2")
                                  .arg(QString::fromStdString(state_.settingsDirectory().string()),
                                       QString::fromStdString(error.message())));
    }
    StartPublishing();
}

void TOmain::StartPublishing() {
    // The old connection says "offline" before the new one says "online", which may be the same topic.
    publisher_.reset();
    commands_.reset();
    if (publishing_.enabled) {
        publish::BrokerSettings broker = publishing_.broker;
        broker.commands = broker.commands && StartCommands();
        publisher_ = std::make_unique<publish::Publisher>(std::move(broker));
        for (const auto& device : state_.devices) {
            if (device->record.identified != 0) {
                publisher_->PublishSettings(device->record);
            }
        }
    }
    ShowPublishingStatus();
}

bool TOmain::StartCommands() {
    auto commands = std::make_unique<RemoteCommands>(state_.devices, state_.trans, state_.polling, clock_);
    const std::filesystem::path audit = state_.settingsDirectory() / kCommandAuditFileName;
    if (const std::string error = commands->StartAudit(audit); !error.empty()) {
        const QString text = QStringLiteral("Nie można zapisać dziennika poleceń MQTT %1:\n%2\n"
                                            "Polecenia z brokera nie są przyjmowane.")
                                 .arg(QString::fromStdString(audit.string()), QString::fromStdString(error));
        // After the caller's step: the box's own event loop must not run inside it.
        QTimer::singleShot(0, this, [this, text] { QMessageBox::warning(this, kCaption, text); });
        return false;
    }
    commands_ = std::move(commands);
    return true;
}

void TOmain::RunCommands(const PollTickResult& tick) {
    for (const CommandReport& report :
         commands_->Submit(publisher_->TakeCommands(RemoteCommands::kCheckedPerTick))) {
        AnswerCommand(report);
    }
    if (const auto report = commands_->RunNext(tick)) {
        AnswerCommand(*report);
    }
}

void TOmain::AnswerCommand(const CommandReport& report) {
    publisher_->PublishResult(report.request, report.result);
    statusBar()->showMessage(QString::fromStdString(CommandStatusText(report)), kCommandShownMs);
    if (!report.result.ok) {
        return;
    }
    if (report.result.setting == publish::kModeSetting) {
        alarmLog_.ExpectCommandModeChange(report.result.zone);
    }
    for (const auto& device : state_.devices) {
        if (device->record.zoneNumber == report.result.zone) {
            publisher_->PublishSettings(device->record);
        }
    }
}

void TOmain::ShowPublishingStatus() {
    if (!publisher_) {
        PublishingLabel->hide();
        return;
    }
    const QString text = QString::fromStdString(BrokerStatusText(publisher_->status()));
    if (PublishingLabel->text() != text) {
        PublishingLabel->setText(text);
        PublishingLabel->setToolTip(text); // whole, where the line is too narrow
    }
    PublishingLabel->show();
}

} // namespace hz70
