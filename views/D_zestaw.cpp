// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/D_zestaw.h"

#include "views/ArialFont.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

namespace hz70 {

TDZestaw::TDZestaw(const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DZestaw"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
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
}

void TDZestaw::AddLine(const std::string& text) {
    Lista->addItem(QString::fromStdString(text));
}

QStringList TDZestaw::Lines() const {
    QStringList lines;
    for (int row = 0; row < Lista->count(); ++row) {
        lines << Lista->item(row)->text();
    }
    return lines;
}

} // namespace hz70
