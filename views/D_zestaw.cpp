// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/D_zestaw.h"

#include "views/ArialFont.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace hz70 {

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
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

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

QStringList TDZestaw::Lines() const {
    QStringList lines;
    for (int row = 0; row < Lista->count(); ++row) {
        lines << Lista->item(row)->text();
    }
    return lines;
}

void TDZestaw::RunSteps(std::function<bool()> step) {
    step_ = std::move(step);
    stepTimer_->start();
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
