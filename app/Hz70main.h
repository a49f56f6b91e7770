// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/AlarmLog.h"
#include "app/core/AlarmSettings.h"
#include "app/core/AppState.h"
#include "app/core/MeasurementRecorder.h"
#include "app/core/PollCycle.h"
#include "app/core/PublishingSettings.h"

#include <QMainWindow>
#include <array>
#include <filesystem>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QTimer;
class QToolBar;

namespace hz70 {

namespace publish {
class Publisher;
}

class Clock;
class RemoteCommands;
class SerialPort;
struct CommandReport;
class TAboutBox;
class TOAlarmy;
class TMdiChildWindow;
class TOBarg;
class TOTabela;
class TOWykres;
class TOsynop;
class TViewWindow;

// The frame of the program: holds the four view windows, the menu and the tool bar, owns the program's
// state and runs the poll timer over the configured zones.
class TOmain : public QMainWindow, private MonitoringQuestion {
    Q_OBJECT
public:
    TOmain(SerialPort& port, Clock& clock, std::filesystem::path settingsDirectory,
           QWidget* parent = nullptr);
    ~TOmain() override;

    [[nodiscard]] AppState& state() { return state_; }

    // Rebuilds the records of the configured zones (blocking) and starts polling at the first zone; the
    // status line names the zone being asked.
    void RebuildDeviceList();
    // Rebinds the views to rebuilt records: table, synoptic, chart and bargraph windows, in this order.
    void ReshowViews();
    // Writes the settings file; an error box when it cannot be written.
    void PlikZapiszUstExecute();
    // Records every zone update into `file` from now on; an error box (and no recording) when the file
    // cannot be written.
    bool StartRecording(const std::filesystem::path& file);
    void StopRecording();
    [[nodiscard]] const MeasurementRecorder& recorder() const { return recorder_; }
    // Saves `settings` to the publishing file and starts, restarts or stops publishing by them; an error
    // box when the file cannot be written (publishing follows the settings all the same).
    void ApplyPublishing(const PublishingSettings& settings);
    [[nodiscard]] const PublishingSettings& publishing() const { return publishing_; }
    // The running publisher; none while publishing is off.
    [[nodiscard]] const publish::Publisher* publisher() const { return publisher_.get(); }
    [[nodiscard]] const AlarmLog& alarmLog() const { return alarmLog_; }
    // One poll tick; Timer1 runs it every 100 ms.
    void Timer1Timer();

    TOBarg* OBarg = nullptr;
    TOTabela* OTabela = nullptr;
    TOWykres* OWykres = nullptr;
    TOsynop* Osynop = nullptr;
    TOAlarmy* OAlarmy = nullptr; // made when first asked for
    TAboutBox* AboutBox = nullptr;

    QTimer* Timer1 = nullptr;
    QAction* PlikZapiszUst = nullptr;
    QAction* PlikRejestruj = nullptr; // checked while measurements are recorded
    QAction* PlikKoniec = nullptr;
    QAction* OPcjeUstawPort = nullptr;
    QAction* OpcjeListaUrz = nullptr;
    QAction* OpcjePublikacja = nullptr;
    QAction* OknoKaskada = nullptr;
    QAction* OknoSasiad = nullptr;
    QAction* OknoSynop = nullptr;
    QAction* OknoTabela = nullptr;
    QAction* OknoBarg = nullptr;
    QAction* OknoWykres = nullptr;
    QAction* OknoAlarmy = nullptr;
    QAction* PomocOprogramie = nullptr;

    // The status line naming the port's device and the link's state, and the file being recorded into.
    QLabel* LinkStatusLabel = nullptr;
    QLabel* RecordingLabel = nullptr;
    // The MQTT broker's state; hidden while publishing is off.
    QLabel* PublishingLabel = nullptr;
    // How many alarms wait for acknowledgement; hidden while none does.
    QLabel* AlarmLabel = nullptr;
    void ShowLinkStatus();
    // Says for a while, over the link's status, that the settings' reply time-out is more than the link
    // waits.
    void ShowCappedTimeout();

    [[nodiscard]] QMdiArea* mdiArea() const { return mdiArea_; }
    [[nodiscard]] QToolBar* ToolBar1() const { return toolBar_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool AskStopMonitoring(const TRegulator& zone) override;
    // "Odczyt sterowników HZ70: strefa 2 z 8 (...)": which zone the identification is asking.
    [[nodiscard]] QString AttachProgressText(int slot, int count) const;
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void CreateActions();
    void CreateMenu();
    void CreateToolBar();
    void CreateViews();
    void DestroyViews();
    TMdiChildWindow* AddView(TViewWindow* view);
    void BringToFront(TViewWindow* view);
    void OPcjeUstawPortExecute();
    void PlikRejestrujToggled(bool on);
    // Hands the tick's record to the views, in their fixed order.
    void NotifyViews(const PollTickResult& tick);
    void RecordFinishedExchange(const PollTickResult& tick);
    // The tick's alarm events into the log, its window, the broker and the speaker.
    void ObserveAlarms(const PollTickResult& tick);
    // The unacknowledged alarms in the status line and the title.
    void ShowAlarms();
    void OknoAlarmyExecute();
    // Keeps the operator's choice in the alarm settings file; an error box when it cannot be written.
    void ChooseAlarmSound(bool on);
    void ShowRecordingFailure(const std::filesystem::path& file, const std::string& reason);
    void OpcjeListaUrzExecute();
    void OpcjePublikacjaExecute();
    void LoadPublishing();
    // Starts or stops the publisher as `publishing_` says; a new one gets every zone's settings read so far.
    void StartPublishing();
    void ShowPublishingStatus();
    // Takes commands from the broker from now on, logged beside the settings file; false, said in a box,
    // when the log cannot be written.
    bool StartCommands();
    // Answers the commands taken since the last tick that were refused; runs one accepted command if the
    // tick left the line free.
    void RunCommands(const PollTickResult& tick);
    // The result on the broker and in the status line; a written zone's settings go out again.
    void AnswerCommand(const CommandReport& report);
    [[nodiscard]] std::string DefaultSystemName() const;

    SerialPort& port_;
    Clock& clock_;
    AppState state_;
    QMdiArea* mdiArea_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::array<TViewWindow*, 4> viewsInUpdateOrder_{};
    MeasurementRecorder recorder_;
    PublishingSettings publishing_;
    QString publishingWarning_; // what was wrong with the publishing file at start, until shown
    std::unique_ptr<publish::Publisher> publisher_;
    std::unique_ptr<RemoteCommands> commands_; // none unless publishing takes commands
    AlarmLog alarmLog_;
    QString alarmLogWarning_; // why the alarm log file cannot be written, until shown
    AlarmSettings alarmSettings_;
    bool shown_ = false;
    bool loadFailed_ = false;
};

} // namespace hz70
