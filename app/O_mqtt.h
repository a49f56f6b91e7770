// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/PublishingSettings.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace hz70 {

// "Publikacja MQTT": whether the zones go to a broker, which one, with which credentials, under which
// name, and whether the broker may command them. OK refuses what cannot be used and says why; what it accepts
// is `settings()`.
class TOMqtt : public QDialog {
    Q_OBJECT
public:
    // `defaultSystem` names the line when the operator leaves the name empty.
    TOMqtt(const PublishingSettings& current, std::string defaultSystem, QWidget* parent = nullptr);

    [[nodiscard]] const PublishingSettings& settings() const { return settings_; }

    QCheckBox* CheckBoxPub = nullptr;
    QLineEdit* EditUrl = nullptr;
    QLineEdit* EditSystem = nullptr;
    QLineEdit* EditUser = nullptr;
    QLineEdit* EditPassword = nullptr;
    QLineEdit* EditCa = nullptr;
    QLineEdit* EditCert = nullptr;
    QLineEdit* EditKey = nullptr;
    QCheckBox* CheckBoxHa = nullptr;
    QCheckBox* CheckBoxCommands = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    void CreateControls();
    QLineEdit* FileField(const char* name, const char* label, int top, const QString& filter);
    void FormShow();
    void Button1Click();
    // The settings the fields give, or why they cannot be used (in Polish).
    [[nodiscard]] std::string Collect(PublishingSettings& chosen) const;

    PublishingSettings settings_;
    std::string defaultSystem_;
};

} // namespace hz70
