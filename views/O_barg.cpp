// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_barg.h"

#include "app/AppState.h"

namespace hz70 {

TOBarg::TOBarg(AppState& state, QWidget* parent) : TViewWindow(parent), state_(state) {
    setObjectName(QStringLiteral("OBarg"));
    setWindowTitle(QStringLiteral("Bargrafy"));
    resize(696, 480);
}

void TOBarg::UpdateZone(TRegulator* /*record*/) {}

void TOBarg::FormShow() {}

} // namespace hz70
