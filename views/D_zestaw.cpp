// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/D_zestaw.h"

#include "views/ArialFont.h"
#include "views/core/TableTexts.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace hz70 {
namespace {

// Headings carry their zone's number in the list; other lines carry none.
constexpr int kZoneRole = Qt::UserRole;

} // namespace

TDZestaw::TDZestaw(const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DZestaw"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    resize(560, 320);

    Lista = new QListWidget(this);
    Lista->setObjectName(QStringLiteral("Lista"));
    Lista->setFont(ArialFont(12));
    Lista->setSelectionMode(QAbstractItemView::NoSelection);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    BtnZapisz = buttons->addButton(QString::fromUtf8(kWriteTickedCaption), QDialogButtonBox::ActionRole);
    BtnZapisz->setObjectName(QStringLiteral("BtnZapisz"));
    BtnZapisz->setEnabled(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(BtnZapisz, &QPushButton::clicked, this, &TDZestaw::writeTickedRequested);
    connect(Lista, &QListWidget::itemChanged, this, &TDZestaw::UpdateWriteButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Lista);
    layout->addWidget(buttons);

    stepTimer_ = new QTimer(this);
    stepTimer_->setSingleShot(true);
    stepTimer_->setInterval(0);
    connect(stepTimer_, &QTimer::timeout, this, &TDZestaw::TakeStep);
}

void TDZestaw::AddLine(const std::string& text) {
    Lista->addItem(QString::fromStdString(text));
    Lista->scrollToBottom();
}

void TDZestaw::AddZone(const std::string& title, bool checkable, bool ticked) {
    auto* heading = new QListWidgetItem(QString::fromStdString(title));
    QFont bold = Lista->font();
    bold.setBold(true);
    heading->setFont(bold);
    heading->setData(kZoneRole, zones_++);
    if (checkable) {
        heading->setFlags(heading->flags() | Qt::ItemIsUserCheckable);
        heading->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    // Ticked before it is in the list, the item's tick is heard by no one.
    Lista->addItem(heading);
    Lista->scrollToBottom();
    UpdateWriteButton();
}

std::vector<int> TDZestaw::TickedZones() const {
    std::vector<int> ticked;
    for (int row = 0; row < Lista->count(); ++row) {
        const QListWidgetItem* item = Lista->item(row);
        if (item->data(Qt::CheckStateRole).isValid() && item->checkState() == Qt::Checked) {
            ticked.push_back(item->data(kZoneRole).toInt());
        }
    }
    return ticked;
}

QStringList TDZestaw::Lines() const {
    QStringList lines;
    for (int row = 0; row < Lista->count(); ++row) {
        lines << Lista->item(row)->text();
    }
    return lines;
}

void TDZestaw::RunSteps(std::function<bool()> step) {
    started_ = true;
    FreezeTicks();
    step_ = std::move(step);
    stepTimer_->start();
}

// The ticks stay in view, saying which zones are being written, but no longer change.
void TDZestaw::FreezeTicks() {
    for (int row = 0; row < Lista->count(); ++row) {
        QListWidgetItem* item = Lista->item(row);
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    }
    UpdateWriteButton();
}

void TDZestaw::UpdateWriteButton() {
    BtnZapisz->setEnabled(!started_ && !TickedZones().empty());
}

void TDZestaw::TakeStep() {
    if (step_() && !closed_) {
        stepTimer_->start();
        return;
    }
    step_ = nullptr;
}

// A step under way when the list closes ends on its own; no further one starts.
void TDZestaw::done(int result) {
    closed_ = true;
    stepTimer_->stop();
    QDialog::done(result);
}

} // namespace hz70
