// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_synop.h"

#include "model/ZoneOperations.h"
#include "views/Ostrefa.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace hz70 {
namespace {

constexpr int kFirstPanelLeft = 8;
constexpr int kPanelPitch = 150;

} // namespace

TOsynop::TOsynop(ZoneOperations& zones, QWidget* parent) : TViewWindow(parent), zones_(zones) {
    setObjectName(QStringLiteral("Osynop"));
    setWindowTitle(QStringLiteral("Obrazy synoptyczne"));
    resize(696, 406);

    panelRow_ = new QWidget;
    panelRow_->setObjectName(QStringLiteral("panelRow"));
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setWidget(panelRow_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollArea_);
}

void TOsynop::UpdateZone(int slot, const TRegulator& record) {
    // Panels and records are rebuilt together, but a tick before the first build finds no panel.
    if (slot >= 0 && static_cast<std::size_t>(slot) < panels_.size()) {
        panels_[static_cast<std::size_t>(slot)]->ShowValues(record);
    }
}

void TOsynop::FormShow() {
    RemovePanels();
    int right = 0;
    for (int j = 0; j < zones_.zoneCount(); ++j) {
        TRegulator& record = *zones_.zone(j);
        auto* panel = new TStrefa(zones_, panelRow_);
        panel->setObjectName(QStringLiteral("Blok%1").arg(j));
        panel->move(kFirstPanelLeft + kPanelPitch * j, 0);
        panel->regulator = &record;
        panel->SetTitle(record.name);
        panel->show();
        panels_.push_back(panel);
        right = panel->geometry().right() + 1;
    }
    panelRow_->setFixedSize(right, panels_.empty() ? 0 : panels_.front()->height());
}

void TOsynop::RemovePanels() {
    for (TStrefa* panel : panels_) {
        delete panel;
    }
    panels_.clear();
}

} // namespace hz70
