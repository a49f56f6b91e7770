// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

class QListWidget;
class QTimer;

namespace hz70 {

// What a settings set changes, zone by zone, and then how each write went: a read-only list the table
// window fills. Shown without waiting for it, but application-modal: while it is open the operator can
// neither rebuild the zone list nor start a second write.
class TDZestaw : public QDialog {
    Q_OBJECT
public:
    explicit TDZestaw(const QString& title, QWidget* parent = nullptr);

    void AddLine(const std::string& text);
    [[nodiscard]] QStringList Lines() const;

    // Calls `step` once per turn of the event loop, so that the list is painted between two calls,
    // until it returns false or the list is closed.
    void RunSteps(std::function<bool()> step);
    [[nodiscard]] bool Running() const { return step_ && !closed_; }

    void done(int result) override;

    QListWidget* Lista = nullptr;

private:
    void TakeStep();

    QTimer* stepTimer_ = nullptr;
    std::function<bool()> step_;
    bool closed_ = false;
};

} // namespace hz70
