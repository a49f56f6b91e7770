// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

namespace hz70 {

// Draws list lines as two columns split at their tab: the part before it, cut short with an ellipsis
// when it would run into the second column, and the part after it from a fixed column on. Tab stops of
// list boxes, and a first part that ran past the column would otherwise push the second out of sight.
// A line with nothing after its tab, or with no tab, is one column as wide as the line.
class TabColumnDelegate final : public QStyledItemDelegate {
public:
    // `column` is measured from the start of the text.
    TabColumnDelegate(int column, QObject* parent) : QStyledItemDelegate(parent), column_(column) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // As wide as what paint draws, so a list scrolls sideways only when there is something to show.
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Space between an item's edge and its text, as the style's own item views leave it.
    static int TextMargin(const QWidget* view);

private:
    int column_;
};

} // namespace hz70
