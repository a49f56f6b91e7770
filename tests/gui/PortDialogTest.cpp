// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_port.h"
#include "gui/GuiTestSupport.h"
#include "support/FileText.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <filesystem>
#include <gtest/gtest.h>

namespace hz70::test {
namespace {

// The room a drop-down list has for the text of its selected item.
int TextRoom(const QComboBox& list) {
    QStyleOptionComboBox option;
    option.initFrom(&list);
    option.frame = true;
    option.editable = false;
    const QRect field =
        list.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &list);
    return field.width() - 2; // the style keeps a pixel free on either side
}

TEST(PortDialog, OkHandsOnTheTimeOutAsTypedAndKeepsWhatTheListsDoNotOffer) {
    struct Case {
        const char* fileLine;
        const char* typedTimeout; // nullptr: left as shown
        int shownBaud;            // -1: no item selected
        const char* baudShown;
        int shownMode;
        TTransSettings handedOn;
        int replyTimeout; // what the link then waits for a reply
    };
    for (const Case& c : {
             // Below 100 ms the link waits as long as the baud rate's default, but 50 is what is kept.
             Case{"Baud=5", "50", 5, "9600", 6, {0, 5, 6, 0, 50}, 1500},
             Case{"Baud=9", nullptr, -1, "115200", 6, {0, 9, 6, 0, 1000}, 1000},
             // A framing index outside the list never reaches the link: the file's reader mends it.
             Case{"Mode=9", nullptr, 5, "9600", 0, {0, 5, 0, 0, 1000}, 1000},
         }) {
        SCOPED_TRACE(c.fileLine);
        ProgramOnFakeBus program;
        program.WriteSettingsFile({c.fileLine, "Timeout=1000"});
        TOmain& main = program.Start();
        {
            TOPort dialog(main.state(), &main);
            EXPECT_EQ(dialog.ComboBoxB->currentIndex(), c.shownBaud);
            EXPECT_EQ(c.shownBaud < 0 ? dialog.ComboBoxB->placeholderText() : dialog.ComboBoxB->currentText(),
                      c.baudShown);
            EXPECT_EQ(dialog.ComboBoxT->currentIndex(), c.shownMode);
            if (c.typedTimeout != nullptr) {
                dialog.EditTm->setText(QString::fromLatin1(c.typedTimeout));
            }
            dialog.Button1->click();
        }
        TTransSettings link;
        main.state().trans.GetSettings(link);
        EXPECT_EQ(link, c.handedOn);
        EXPECT_EQ(main.state().trans.replyTimeout(), c.replyTimeout);
        program.window.reset();
        char stored[96];
        std::snprintf(stored, sizeof stored, "COM=%d\r\nBaud=%d\r\nMode=%d\r\nType=0\r\nTimeout=%d\r\n",
                      link.COM, link.Baud, link.Mode, c.handedOn.Timeout);
        EXPECT_NE(FileBytes(program.folder() / "HZ70wiz.INI").find(stored), std::string::npos);
    }
}

TEST(PortDialog, KeepsItsSizeAndShowsEveryItemWhole) {
    // A port link in a deep working directory: the device line must still show where it leads.
    const QString deep = QDir::tempPath() + QStringLiteral("/hz70-port-dialog/") +
                         QString(60, QLatin1Char('d')) + QLatin1Char('/') + QString(60, QLatin1Char('e'));
    ASSERT_TRUE(QDir().mkpath(deep));
    const std::filesystem::path folder = deep.toStdString();
    std::filesystem::remove(folder / "COM1");
    std::filesystem::create_symlink("/dev/null", folder / "COM1");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);

    ProgramOnFakeBus program;
    TOmain& main = program.Start();
    TOPort dialog(main.state(), &main);
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.size(), QSize(354, 162));
    EXPECT_EQ(dialog.ComboBoxT->width(), 317);
    for (const QWidget* control : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(dialog.rect().contains(control->geometry())) << control->metaObject()->className();
    }
    for (QComboBox* list : {dialog.ComboBoxP, dialog.ComboBoxB, dialog.ComboBoxT}) {
        for (int item = 0; item < list->count(); ++item) {
            EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(item)), TextRoom(*list))
                << list->itemText(item).toStdString();
        }
    }
    const QString device = QStringLiteral("COM1 → %1/COM1").arg(deep);
    EXPECT_EQ(dialog.DeviceLabel->toolTip(), device);
    EXPECT_TRUE(dialog.DeviceLabel->text().endsWith(QStringLiteral("/COM1")));
    EXPECT_LE(dialog.DeviceLabel->fontMetrics().horizontalAdvance(dialog.DeviceLabel->text()),
              dialog.DeviceLabel->width());

    std::filesystem::current_path(before);
    std::filesystem::remove_all(QDir::tempPath().toStdString() + "/hz70-port-dialog");
}

} // namespace
} // namespace hz70::test
