// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/TabColumnDelegate.h"

#include <QApplication>
#include <QPainter>

namespace hz70 {

void TabColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const QString line = item.text;
    item.text.clear();
    const QStyle* style = item.widget != nullptr ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    const bool selected = (item.state & QStyle::State_Selected) != 0;
    const QFontMetrics metrics(item.font);
    const QRect text = item.rect.adjusted(TextMargin(item.widget), 0, 0, 0);
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    const QString first = line.left(tab);
    const QString second = tab < 0 ? QString() : line.mid(tab + 1);
    // A line without a second part (no tab, or blanks after it) leaves its first part the whole width.
    const bool twoColumns = !second.trimmed().isEmpty();
    const int firstRoom = twoColumns ? column_ - metrics.horizontalAdvance(QLatin1Char(' ')) : text.width();

    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    painter->drawText(text, flags, metrics.elidedText(first, Qt::ElideRight, firstRoom));
    if (twoColumns) {
        painter->drawText(text.adjusted(column_, 0, 0, 0), flags, second);
    }
    painter->restore();
}

QSize TabColumnDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    QStyleOptionViewItem item(option);
    initStyleOption(&item, index);
    const qsizetype tab = item.text.indexOf(QLatin1Char('\t'));
    const QString second = tab < 0 ? QString() : item.text.mid(tab + 1);
    if (!second.trimmed().isEmpty()) {
        size.setWidth(2 * TextMargin(item.widget) + column_ +
                      QFontMetrics(item.font).horizontalAdvance(second));
    }
    return size;
}

int TabColumnDelegate::TextMargin(const QWidget* view) {
    const QStyle* style = view != nullptr ? view->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
}

} // namespace hz70
