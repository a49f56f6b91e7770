// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <vector>

class QCheckBox;
class QComboBox;

namespace hz70 {

// Chooses the zone whose settings are copied and the zones that get them.
class TDKopiuj : public QDialog {
    Q_OBJECT
public:
    // `zoneTitles` in slot order.
    explicit TDKopiuj(const QStringList& zoneTitles, QWidget* parent = nullptr);

    [[nodiscard]] int SourceZone() const;
    // The slots ticked, the source left out.
    [[nodiscard]] std::vector<int> TargetZones() const;

    QComboBox* Zrodlo = nullptr;
    std::vector<QCheckBox*> Cele;
};

} // namespace hz70
