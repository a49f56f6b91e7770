// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace hz70 {

// "O programie": what the program is, its version and licence.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

} // namespace hz70
