// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

class QListWidget;
class QPushButton;
class QTimer;

namespace hz70 {

// What a settings set changes, zone by zone, and then how each write went: a list the table window
// fills, where the operator ticks the zones to write. Shown without waiting for it, but
// application-modal: while it is open the operator can neither rebuild the zone list nor start a
// second write.
class TDZestaw : public QDialog {
    Q_OBJECT
public:
    explicit TDZestaw(const QString& title, QWidget* parent = nullptr);

    void AddLine(const std::string& text);
    // A zone's heading; the lines added after it, up to the next heading, are that zone's. Zones are
    // numbered from 0 in the order they are added.
    void AddZone(const std::string& title, bool checkable, bool ticked);
    [[nodiscard]] std::vector<int> TickedZones() const;
    [[nodiscard]] QStringList Lines() const;

    // Calls `step` once per turn of the event loop, so that the list is painted between two calls,
    // until it returns false or the list is closed. The ticks are final from then on.
    void RunSteps(std::function<bool()> step);
    [[nodiscard]] bool Running() const { return step_ && !closed_; }

    void done(int result) override;

    QListWidget* Lista = nullptr;
    // "Zapisz zaznaczone": enabled while a zone is ticked and nothing was written yet.
    QPushButton* BtnZapisz = nullptr;

Q_SIGNALS:
    void writeTickedRequested();

private:
    void TakeStep();
    void FreezeTicks();
    void UpdateWriteButton();

    QTimer* stepTimer_ = nullptr;
    std::function<bool()> step_;
    bool started_ = false;
    bool closed_ = false;
    int zones_ = 0;
};

} // namespace hz70
