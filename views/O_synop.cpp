// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_synop.h"

#include "app/AppState.h"

namespace hz70 {

TOsynop::TOsynop(AppState& state, QWidget* parent) : TViewWindow(parent), state_(state) {
    setObjectName(QStringLiteral("Osynop"));
    setWindowTitle(QStringLiteral("Obrazy synoptyczne"));
    resize(696, 406);
}

void TOsynop::UpdateZone(TRegulator* /*record*/) {}

void TOsynop::FormShow() {}

} // namespace hz70
