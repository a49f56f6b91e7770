// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_tabela.h"

#include "app/AppState.h"

namespace hz70 {

TOTabela::TOTabela(AppState& state, QWidget* parent) : TViewWindow(parent), state_(state) {
    setObjectName(QStringLiteral("OTabela"));
    setWindowTitle(QStringLiteral("Tabela"));
    resize(576, 480);
}

void TOTabela::UpdateZone(TRegulator* /*record*/) {}

void TOTabela::FormShow() {}

} // namespace hz70
