// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/D_kopiuj.h"

#include "views/ArialFont.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace hz70 {

TDKopiuj::TDKopiuj(const QStringList& zoneTitles, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DKopiuj"));
    setWindowTitle(QStringLiteral("Kopiuj strefę"));
    setFont(ArialFont(12));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Kopiuj nastawy strefy:"), this));
    Zrodlo = new QComboBox(this);
    Zrodlo->setObjectName(QStringLiteral("Zrodlo"));
    Zrodlo->addItems(zoneTitles);
    layout->addWidget(Zrodlo);
    layout->addWidget(new QLabel(QStringLiteral("do stref:"), this));
    for (const QString& title : zoneTitles) {
        Cele.push_back(new QCheckBox(title, this));
        layout->addWidget(Cele.back());
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int TDKopiuj::SourceZone() const {
    return Zrodlo->currentIndex();
}

std::vector<int> TDKopiuj::TargetZones() const {
    std::vector<int> targets;
    for (int slot = 0; slot < static_cast<int>(Cele.size()); ++slot) {
        if (slot != SourceZone() && Cele[static_cast<std::size_t>(slot)]->isChecked()) {
            targets.push_back(slot);
        }
    }
    return targets;
}

} // namespace hz70
