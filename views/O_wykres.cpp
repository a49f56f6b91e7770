// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_wykres.h"

#include "app/AppState.h"

namespace hz70 {

TOWykres::TOWykres(AppState& state, QWidget* parent) : TViewWindow(parent), state_(state) {
    setObjectName(QStringLiteral("OWykres"));
    setWindowTitle(QStringLiteral("Wykresy"));
    resize(640, 480);
}

void TOWykres::UpdateZone(TRegulator* /*record*/) {}

void TOWykres::FormShow() {}

} // namespace hz70
