// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/core/AxisDialog.h"

#include <QDialog>
#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace hz70 {

class TOWykres;

// "Parametry osi Y": edits the chart's left and right value axes. Created for each opening; the
// working copy of both axes lives only while it is open.
class TDlgParam : public QDialog {
    Q_OBJECT
public:
    explicit TDlgParam(TOWykres& chart);

    // Loads both axes from the chart and shows the left one.
    void FormShow();
    // Runs after the switch: keeps what the controls hold for the other axis, shows the selected one.
    void TabControl1Change();
    void CheckBAutoClick();
    // Keeps the shown axis, applies both to the chart and closes, marking the settings changed; stays
    // open, with the settings not marked, when the chart refuses a step.
    void BOkClick();
    void BAnulujClick();

    [[nodiscard]] const AxisSettings& WorkingCopy(int axis) const {
        return settings_[static_cast<std::size_t>(axis)];
    }

    QTabWidget* TabControl1 = nullptr;
    QCheckBox* CheckBVisible = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CheckBAuto = nullptr;
    QCheckBox* CheckBAutomax = nullptr;
    QCheckBox* CheckBAutomin = nullptr;
    QCheckBox* CheckBLog = nullptr;
    QLineEdit* EditMax = nullptr;
    QLineEdit* EditMin = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* EditFormat = nullptr;
    QPushButton* BOk = nullptr;
    QPushButton* BAnuluj = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void ShowAxisSettings(const AxisSettings& settings);
    // Keeps the controls in `settings`; a limit that is no number is reported with `message`.
    void StoreControls(AxisSettings& settings, const char* message);
    void ShowError(const QString& caption, const QString& text);

    TOWykres& chart_;
    std::array<AxisSettings, 2> settings_;
};

} // namespace hz70
