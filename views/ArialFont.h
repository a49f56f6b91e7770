// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

namespace hz70 {

// The windows' typeface, sized in pixels as their layouts are (Liberation Sans stands in for Arial on
// Linux with the same metrics).
inline QFont ArialFont(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace hz70
