// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QListWidget;

namespace hz70 {

// What a settings set changes, zone by zone, and then how each write went: a read-only list the table
// window fills. Modeless, so that it stays in view while the operator answers the question.
class TDZestaw : public QDialog {
    Q_OBJECT
public:
    explicit TDZestaw(const QString& title, QWidget* parent = nullptr);

    void AddLine(const std::string& text);
    [[nodiscard]] QStringList Lines() const;

    QListWidget* Lista = nullptr;
};

} // namespace hz70
