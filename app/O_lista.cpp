// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_lista.h"

#include "app/Hz70main.h"

namespace hz70 {

TOListaUrz::TOListaUrz(TOmain& main, QWidget* parent) : QDialog(parent), main_(main) {
    setObjectName(QStringLiteral("OListaUrz"));
    setWindowTitle(QStringLiteral("Lista urządzeń"));
}

} // namespace hz70
