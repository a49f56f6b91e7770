// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace hz70 {

// Every text of the program is Polish, so the toolkit's own texts (message-box buttons, the edit fields'
// context menus) are Polish too, whatever the desktop's language. Without Qt's Polish translation
// installed they stay English; the program works all the same.
inline bool InstallPolishQtTexts(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace hz70
