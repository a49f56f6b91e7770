// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace hz70 {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("O programie"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/app/hz70wiz.svg")).pixmap(64, 64));
    auto* text = new QLabel(this);
    text->setTextFormat(Qt::RichText);
    text->setText(QStringLiteral("<b>HZ70wiz</b> %1<br><br>"
                                 "Konfiguracja i monitorowanie regulatorów temperatury HZ70<br>"
                                 "systemu grzewczego HS70 (Modbus RTU/ASCII, RS-485).<br><br>"
                                 "Licencja: GNU GPL 3.0 lub późniejsza.")
                      .arg(QStringLiteral(HZ70_VERSION)));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

} // namespace hz70
