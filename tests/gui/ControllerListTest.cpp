// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_lista.h"
#include "gui/GuiTestSupport.h"
#include "views/O_barg.h"
#include "views/O_synop.h"
#include "views/O_tabela.h"
#include "views/O_wykres.h"
#include "views/Ostrefa.h"
#include "views/TabColumnDelegate.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTextDocument>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace hz70::test {
namespace {

using ::testing::ElementsAre;

QStringList Lines(const QListWidget& list) {
    QStringList lines;
    for (int i = 0; i < list.count(); ++i) {
        lines << list.item(i)->text();
    }
    return lines;
}

// Types `text` into `widget` key by key, as an operator would.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

void Enter(TOListaUrz& dialog, const QString& address, const QString& name) {
    dialog.EditAddr->setText(address);
    dialog.EditName->setText(name);
}

// Runs the search timer's steps until it stops; at most one step per address and one more.
int StepSearch(TOListaUrz& dialog) {
    int steps = 0;
    while (dialog.Timer1->isActive() && steps <= kLastSlaveAddress + 1) {
        dialog.Timer1Timer();
        ++steps;
    }
    return steps;
}

// Clicks line `row` with `modifiers` held, as an operator would with the mouse.
void ClickLine(QListWidget& list, int row, Qt::KeyboardModifiers modifiers) {
    const QPoint at = list.visualItemRect(list.item(row)).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, list.viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, modifiers);
        QApplication::sendEvent(list.viewport(), &event);
    }
}

// Presses Enter where the keyboard focus is, as an operator would.
void PressEnter() {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(focus, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(focus, &release);
}

// What the program showed while a message box was open.
struct BoxMoment {
    QString text;
    int pollingEnabled = 0;
    int pollRequests = 0; // requests that poll ticks made meanwhile
    QStringList lines;
};

bool IsIdleLook(const TOListaUrz& dialog) {
    return dialog.BitBtnSzukaj->text() == "Szukaj" && !dialog.Animate1->isVisibleTo(&dialog) &&
           !dialog.Animate1->isRunning() && dialog.EditAddr->isEnabled() && dialog.EditName->isEnabled() &&
           dialog.BtnOK->isEnabled() && dialog.BtnAnuluj->isEnabled() && dialog.BtnUsun->isEnabled() &&
           dialog.BtnDodaj->isEnabled() && dialog.BtnModyf->isEnabled();
}

bool IsSearchingLook(const TOListaUrz& dialog) {
    return dialog.BitBtnSzukaj->text() == "Zatrzymaj" && dialog.Animate1->isVisibleTo(&dialog) &&
           dialog.Animate1->isRunning() && !dialog.EditAddr->isEnabled() && !dialog.EditName->isEnabled() &&
           !dialog.BtnOK->isEnabled() && !dialog.BtnAnuluj->isEnabled() && !dialog.BtnUsun->isEnabled() &&
           !dialog.BtnDodaj->isEnabled() && !dialog.BtnModyf->isEnabled();
}

// The program on a fake bus with the given controllers and zones; its poll timer is left to the test.
class ControllerList : public ::testing::Test {
protected:
    std::unique_ptr<ProgramOnFakeBus> program;

    TOmain& Start(const std::vector<int>& controllers, const std::vector<std::string>& settings,
                  const std::function<void(FakeSerialPort&)>& preparePort = {}) {
        program = std::make_unique<ProgramOnFakeBus>(controllers);
        if (preparePort) {
            preparePort(program->port);
        }
        program->WriteSettingsFile(settings);
        TOmain& main = program->Start();
        main.Timer1->stop();
        return main;
    }
    AppState& state() { return program->window->state(); }
};

TEST_F(ControllerList, ShowsTheConfiguredZonesWithItsCaptionsAndHints) {
    TOmain& main = Start({1, 2, 3}, {"DevCount=3", "DevAddr=1;2;247;0;0;0;0;0;", "DevName=A;B;C <b>%s</b>;"});
    TOListaUrz dialog(main, &main);
    EXPECT_EQ(dialog.windowTitle(), "Lista urządzeń");
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 1  \tA", " 2  \tB", " 247 \tC <b>%s</b>"}));
    EXPECT_EQ(dialog.ListBox1->currentRow(), 0);
    EXPECT_EQ(dialog.EditAddr->text(), "1");
    EXPECT_EQ(dialog.EditName->text(), "A");
    EXPECT_EQ(dialog.focusWidget(), dialog.EditAddr);

    struct Expected {
        QPushButton* button;
        const char* caption;
        const char* hint;
    };
    for (const Expected& e : {
             Expected{dialog.BtnDodaj, "Dodaj ->", "Dodaj regulator HZ70 do listy urządzeń"},
             Expected{dialog.BtnModyf, "Modyfikuj", "Zmień adres i nazwę strefy"},
             Expected{dialog.BtnUsun, "Usuń", "Usuń regulator z listy"},
             Expected{dialog.BtnOK, "OK", "Zastosuj zmiany"},
             Expected{dialog.BtnAnuluj, "Anuluj", "Anuluj zmiany"},
             Expected{dialog.BitBtnSzukaj, "Szukaj", "Automatyczne wyszukiwanie HZ70"},
         }) {
        EXPECT_EQ(e.button->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(e.button->toolTip(), QString::fromUtf8(e.hint));
    }
    EXPECT_TRUE(dialog.BtnModyf->isDefault());
    EXPECT_FALSE(dialog.BitBtnSzukaj->icon().isNull());
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        labels << label->text();
    }
    EXPECT_THAT(labels, ::testing::IsSupersetOf({"Adres", "Strefa", "Adres HZ70", "Nazwa strefy:"}));
    EXPECT_EQ(dialog.Timer1->interval(), 100);
    EXPECT_FALSE(dialog.Timer1->isActive());
    EXPECT_TRUE(IsIdleLook(dialog));

    // The hint of each line is its zone name, shown as text even when it looks like markup.
    EXPECT_EQ(dialog.ListBox1->item(0)->toolTip(), "A");
    const QString markup = dialog.ListBox1->item(2)->toolTip();
    EXPECT_FALSE(Qt::mightBeRichText(markup));
    EXPECT_EQ(QString(markup).remove(QChar(0x2060)), "C <b>%s</b>");

    dialog.ListBox1->setCurrentRow(2);
    EXPECT_EQ(dialog.EditAddr->text(), "247");
    EXPECT_EQ(dialog.EditName->text(), "C <b>%s</b>");
}

// Where the names start: 20 dialog units of the list's font, a quarter of its average letter width each
// (Arial 11 px: 6, 15 px: 9). The title "Strefa" stands over them, or a blank after "Adres" if that is wider.
TEST_F(ControllerList, NamesStartTwentyDialogUnitsInUnderTheirTitle) {
    TOmain& main = Start({1, 2}, {"DevCount=2", "DevAddr=1;2;0;0;0;0;0;0;"});
    const QFont programFont = QApplication::font();
    for (const auto& [pixels, expected] : {std::pair{11, 30}, std::pair{15, 45}}) {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(pixels);
        QApplication::setFont(font);
        TOListaUrz dialog(main, &main);
        dialog.show();
        QApplication::processEvents();
        QWidget* lines = dialog.ListBox1->viewport();
        const QRect line = dialog.ListBox1->visualItemRect(dialog.ListBox1->item(1)); // not highlighted
        const int textStart = line.left() + TabColumnDelegate::TextMargin(dialog.ListBox1);

        const QImage shown = lines->grab().toImage();
        int nameInk = -1;
        for (int x = textStart + expected - 8; x < line.right() && nameInk < 0; ++x) {
            for (int y = line.top(); y <= line.bottom() && nameInk < 0; ++y) {
                nameInk = qGray(shown.pixel(x, y)) < 128 ? x : -1;
            }
        }
        EXPECT_NEAR(nameInk - textStart, expected, 2) << pixels;

        std::map<QString, int> titleAt; // from the start of the lines' text
        for (const QLabel* title : dialog.findChildren<QLabel*>()) {
            titleAt[title->text()] =
                title->mapToGlobal(QPoint(0, 0)).x() - lines->mapToGlobal(QPoint(textStart, 0)).x();
        }
        const QFontMetrics metrics(font);
        EXPECT_GE(titleAt["Strefa"],
                  std::max(expected, titleAt["Adres"] + metrics.horizontalAdvance("Adres")))
            << pixels;
        EXPECT_LE(titleAt["Strefa"], expected + metrics.horizontalAdvance(' ')) << pixels;
    }
    QApplication::setFont(programFont);
}

TEST_F(ControllerList, AddRefusesANinthEntryAndBadAddressesWithTheirMessages) {
    TOmain& main = Start({1}, {});
    TOListaUrz dialog(main, &main);
    MessageBoxAnswerer answers;
    for (const char* refused : {"0", "248", "-5", "abc", ""}) {
        Enter(dialog, QString::fromLatin1(refused), QStringLiteral("X"));
        dialog.BtnDodaj->click();
    }
    ASSERT_EQ(answers.seen().size(), 5u);
    for (const SeenMessage& message : answers.seen()) {
        EXPECT_EQ(message.text, "Błędne dane. Ma być 1...247.");
        EXPECT_EQ(message.title, "HZ70wiz");
        EXPECT_EQ(message.icon, QMessageBox::Warning);
    }
    EXPECT_EQ(dialog.focusWidget(), dialog.EditAddr);
    EXPECT_EQ(dialog.ListBox1->count(), 1);

    for (const char* accepted : {"1", "247", "247", "5", "6", "7", "8"}) {
        Enter(dialog, QString::fromLatin1(accepted), QStringLiteral("Z"));
        dialog.BtnDodaj->click();
    }
    EXPECT_EQ(answers.seen().size(), 5u);
    ASSERT_EQ(dialog.ListBox1->count(), 8);
    EXPECT_EQ(dialog.ListBox1->item(1)->text(), " 1  \tZ");
    EXPECT_EQ(dialog.ListBox1->item(3)->text(), " 247 \tZ");

    Enter(dialog, QStringLiteral("9"), QStringLiteral("Z"));
    dialog.BtnDodaj->click();
    ASSERT_EQ(answers.seen().size(), 6u);
    EXPECT_EQ(answers.seen()[5].text, "Może być maksymalnie  8 stref");
    EXPECT_EQ(answers.seen()[5].title, "HZ70wiz");
    EXPECT_EQ(answers.seen()[5].icon, QMessageBox::Warning);
    EXPECT_EQ(dialog.ListBox1->count(), 8);
    EXPECT_EQ(dialog.entries().lineCount(), 8);
}

TEST_F(ControllerList, TypedNamesStopAtThirtyCharactersKeepTwentyNineAndRefuseWhatTheFileCannotHold) {
    TOmain& main = Start({1}, {});
    TOListaUrz dialog(main, &main);
    dialog.EditName->clear();
    Type(dialog.EditName, QStringLiteral("Źródło;ciepła strefy pieca nr 12345"));
    EXPECT_EQ(dialog.EditName->text(), "Źródłociepła strefy pieca nr 1"); // 30 typed, ";" refused
    dialog.BtnModyf->click();
    EXPECT_EQ(dialog.ListBox1->item(0)->text(), " 1  \tŹródłociepła strefy pieca nr ");
    EXPECT_EQ(dialog.entries().Names()[0], "Źródłociepła strefy pieca nr ");

    // Pasting a line break or a character outside Windows-1250 is refused as a whole.
    dialog.EditName->setText(QStringLiteral("Piec"));
    for (const char* pasted : {"\n", " 2\r\n", " ✓"}) {
        dialog.EditName->insert(QString::fromUtf8(pasted));
        EXPECT_EQ(dialog.EditName->text(), "Piec") << pasted;
    }
    dialog.EditName->insert(QStringLiteral(" 2 €"));
    EXPECT_EQ(dialog.EditName->text(), "Piec 2 €");
}

TEST_F(ControllerList, EnterClicksTheFocusedButtonAndModyfikujFromTheFields) {
    TOmain& main = Start({1, 2, 3}, {"DevCount=3", "DevAddr=1;2;3;0;0;0;0;0;"});
    struct Case {
        const char* focused;
        const char* clicked;
    };
    for (const Case& c : {
             Case{"EditAddr", "BtnModyf"},
             Case{"EditName", "BtnModyf"},
             Case{"BtnDodaj", "BtnDodaj"},
             Case{"BtnModyf", "BtnModyf"},
             Case{"BtnUsun", "BtnUsun"},
             Case{"BitBtnSzukaj", "BitBtnSzukaj"},
             Case{"BtnOK", "BtnOK"},
             Case{"BtnAnuluj", "BtnAnuluj"},
         }) {
        TOListaUrz dialog(main, &main);
        QStringList clicked;
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            QObject::connect(button, &QPushButton::clicked,
                             [&clicked, button] { clicked << button->objectName(); });
        }
        dialog.show();
        dialog.activateWindow();
        QApplication::processEvents();
        dialog.ListBox1->setCurrentRow(1);
        Enter(dialog, QStringLiteral("9"), QStringLiteral("Nowa"));
        dialog.findChild<QWidget*>(QString::fromLatin1(c.focused))->setFocus();
        PressEnter();
        EXPECT_EQ(clicked, QStringList(QString::fromLatin1(c.clicked))) << c.focused;
        dialog.done(QDialog::Rejected);
    }

    // Back in a field after a button had the focus, Enter modifies again.
    TOListaUrz dialog(main, &main);
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    dialog.ListBox1->setCurrentRow(1);
    Enter(dialog, QStringLiteral("9"), QStringLiteral("Nowa"));
    dialog.BtnDodaj->setFocus();
    PressEnter();
    dialog.EditName->setFocus();
    Enter(dialog, QStringLiteral("8"), QStringLiteral("Inna"));
    PressEnter();
    EXPECT_EQ(Lines(*dialog.ListBox1),
              QStringList({" 1  \tSTREFA  1", " 8  \tInna", " 3  \tSTREFA  3", " 9  \tNowa"}));
}

TEST_F(ControllerList, ModifyRewritesTheSelectedLineAndRemoveMovesTheLaterOnesUp) {
    TOmain& main = Start({1, 2, 3}, {"DevCount=3", "DevAddr=1;2;3;0;0;0;0;0;"});
    TOListaUrz dialog(main, &main);
    dialog.show();
    MessageBoxAnswerer answers;
    dialog.ListBox1->setCurrentRow(1);
    Enter(dialog, QStringLiteral("1"), QStringLiteral("Druga"));
    dialog.BtnModyf->click();
    Enter(dialog, QStringLiteral("x"), QStringLiteral("Zła"));
    dialog.BtnModyf->click();
    EXPECT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 1  \tSTREFA  1", " 1  \tDruga", " 3  \tSTREFA  3"}));

    dialog.ListBox1->setCurrentRow(1);
    dialog.BtnUsun->click();
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 1  \tSTREFA  1", " 3  \tSTREFA  3"}));
    EXPECT_THAT(dialog.entries().Addr(), ElementsAre(1, 3, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(dialog.ListBox1->currentRow(), 0);
    EXPECT_EQ(dialog.EditName->text(), "STREFA  1");

    // Ctrl+click takes the selection off line 0 and leaves it the current line: neither button acts.
    ClickLine(*dialog.ListBox1, 0, Qt::ControlModifier);
    ASSERT_TRUE(dialog.ListBox1->selectedItems().isEmpty());
    Enter(dialog, QStringLiteral("9"), QStringLiteral("NOWA"));
    dialog.BtnModyf->click();
    dialog.BtnUsun->click();
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 1  \tSTREFA  1", " 3  \tSTREFA  3"}));
    EXPECT_EQ(dialog.EditName->text(), "NOWA");

    ClickLine(*dialog.ListBox1, 0, Qt::NoModifier);
    EXPECT_EQ(dialog.EditName->text(), "STREFA  1");
    dialog.BtnUsun->click();
    dialog.BtnUsun->click(); // the last line stays
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 3  \tSTREFA  3"}));
    EXPECT_EQ(answers.seen().size(), 1u);
}

TEST_F(ControllerList, SearchListsTheHz70ControllersUnderTheSlotNamesWhilePollingWaits) {
    TOmain& main = Start({3, 17}, {"DevCount=2", "DevAddr=1;2;0;0;0;0;0;0;", "DevName=Piec;Suszarka;"});
    program->bus.slaves[9].slaveId = 7; // a foreign slave
    TOListaUrz dialog(main, &main);
    MessageBoxAnswerer answers;
    dialog.BitBtnSzukaj->click();
    EXPECT_TRUE(IsSearchingLook(dialog));
    EXPECT_EQ(dialog.ListBox1->count(), 0);
    EXPECT_TRUE(dialog.Timer1->isActive());
    EXPECT_FALSE(state().polling.PollingEnabled);

    const std::size_t before = program->bus.requests.size();
    dialog.Timer1Timer();
    EXPECT_EQ(dialog.EditAddr->text(), "1");
    EXPECT_EQ(dialog.EditName->text(), "Piec");
    program->Ticks(5); // the poll timer does nothing meanwhile
    dialog.Timer1Timer();
    dialog.Timer1Timer();
    dialog.Timer1Timer();
    EXPECT_EQ(dialog.EditAddr->text(), "4");
    EXPECT_EQ(dialog.EditName->text(), "Suszarka"); // the next one found takes slot 1's name
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 3  \tPiec"}));
    dialog.ListBox1->setCurrentRow(0); // picking a line meanwhile leaves the tried address shown
    EXPECT_EQ(dialog.EditAddr->text(), "4");

    EXPECT_EQ(StepSearch(dialog), 244); // addresses 5..247, then the end of the range
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 3  \tPiec", " 17 \tSuszarka"}));
    EXPECT_TRUE(answers.seen().empty());
    EXPECT_TRUE(IsIdleLook(dialog));
    EXPECT_EQ(dialog.ListBox1->currentRow(), 0);
    EXPECT_EQ(dialog.EditAddr->text(), "3");
    EXPECT_EQ(dialog.EditName->text(), "Piec");
    EXPECT_TRUE(state().polling.PollingEnabled);

    std::vector<int> asked;
    for (std::size_t i = before; i < program->bus.requests.size(); ++i) {
        EXPECT_EQ(program->bus.requests[i].function, 0x11);
        asked.push_back(program->bus.requests[i].address);
    }
    ASSERT_EQ(asked.size(), 247u);
    EXPECT_EQ(asked.front(), 1);
    EXPECT_EQ(asked.back(), 247);
    EXPECT_EQ(state().settings.zones.DevAddr[0], 1); // nothing applied before OK
}

TEST_F(ControllerList, SearchFindingNothingShowsItsMessageBeforePollingResumesThenLeavesAddressOne) {
    TOmain& main = Start({}, {"DevCount=2", "DevAddr=5;6;0;0;0;0;0;0;"});
    TOListaUrz dialog(main, &main);
    std::vector<BoxMoment> boxes;
    QTimer answerer;
    answerer.setInterval(5);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        const std::size_t before = program->bus.requests.size();
        program->Ticks(3);
        boxes.push_back({box->text(), state().polling.PollingEnabled,
                         static_cast<int>(program->bus.requests.size() - before), Lines(*dialog.ListBox1)});
        EXPECT_EQ(box->windowTitle(), "HZ70");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->button(QMessageBox::Ok)->click();
    });
    answerer.start();

    // Passing the last address, and "Zatrzymaj" before anything was found.
    for (const bool toTheEnd : {true, false}) {
        boxes.clear();
        dialog.BitBtnSzukaj->click();
        if (toTheEnd) {
            StepSearch(dialog);
        } else {
            dialog.Timer1Timer();
            dialog.BitBtnSzukaj->click();
        }
        ASSERT_EQ(boxes.size(), 1u) << toTheEnd;
        EXPECT_EQ(boxes[0].text, "NIE ZNALEZIONO REGULATORA");
        EXPECT_EQ(boxes[0].pollingEnabled, 0);
        EXPECT_EQ(boxes[0].pollRequests, 0);
        EXPECT_TRUE(boxes[0].lines.isEmpty());
        EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 1  \tSTREFA  1"}));
        EXPECT_THAT(dialog.entries().Addr(), ElementsAre(1, 0, 0, 0, 0, 0, 0, 0));
        EXPECT_EQ(dialog.EditAddr->text(), "1");
        EXPECT_TRUE(IsIdleLook(dialog));
        EXPECT_TRUE(state().polling.PollingEnabled);
    }
}

TEST_F(ControllerList, SearchOnAPortThatDoesNotOpenStopsAtOnceWithThePortsReasonAndKeepsTheList) {
    TOmain& main = Start({3}, {"DevCount=2", "DevAddr=5;6;0;0;0;0;0;0;"}, [](FakeSerialPort& port) {
        port.openSucceeds = false;
        port.condition = {PortCondition::State::InUse, "/dev/ttyUSB0", "", ""};
    });
    TOListaUrz dialog(main, &main);
    MessageBoxAnswerer answers;
    dialog.BitBtnSzukaj->click();
    EXPECT_EQ(StepSearch(dialog), 1);
    ASSERT_EQ(answers.seen().size(), 1u);
    EXPECT_EQ(answers.seen()[0].text, "COM1 (/dev/ttyUSB0): port zajęty przez inny program. Zatwierdź "
                                      "„Ustawienia portu”, aby otworzyć port ponownie.");
    EXPECT_EQ(answers.seen()[0].title, "HZ70");
    EXPECT_EQ(answers.seen()[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(IsIdleLook(dialog));
    EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 5  \tSTREFA  1", " 6  \tSTREFA  2"}));
    EXPECT_THAT(dialog.entries().Addr(), ElementsAre(5, 6, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(dialog.EditAddr->text(), "5");
    EXPECT_TRUE(state().polling.PollingEnabled);
    EXPECT_TRUE(program->bus.requests.empty());
}

TEST_F(ControllerList, EighthControllerStopsSteppingButKeepsTheSearchingLookUntilZatrzymaj) {
    TOmain& main = Start({10, 20, 30, 40, 50, 60, 70, 80, 90}, {});
    TOListaUrz dialog(main, &main);
    MessageBoxAnswerer answers;
    dialog.BitBtnSzukaj->click();
    EXPECT_EQ(StepSearch(dialog), 80);
    EXPECT_EQ(dialog.ListBox1->count(), 8);
    EXPECT_EQ(dialog.ListBox1->item(7)->text(), " 80 \tSTREFA  8");
    EXPECT_TRUE(state().polling.PollingEnabled);
    EXPECT_TRUE(IsSearchingLook(dialog));
    dialog.ListBox1->setCurrentRow(2); // stepping is over: a line fills the fields again
    EXPECT_EQ(dialog.EditAddr->text(), "30");
    EXPECT_EQ(dialog.EditName->text(), "STREFA  3");

    dialog.BitBtnSzukaj->click();
    EXPECT_TRUE(IsIdleLook(dialog));
    EXPECT_TRUE(answers.seen().empty());
    EXPECT_EQ(dialog.entries().lineCount(), 8);
}

TEST_F(ControllerList, EscDuringASearchDoesNothingAndClosingEndsItAndAppliesNothing) {
    TOmain& main = Start({3}, {"DevCount=2", "DevAddr=5;6;0;0;0;0;0;0;"});
    const ZoneList before = state().settings.zones;
    {
        TOListaUrz dialog(main, &main);
        dialog.show();
        dialog.BitBtnSzukaj->click();
        for (int step = 0; step < 3; ++step) {
            dialog.Timer1Timer();
        }
        // "Anuluj" is disabled while searching, and Esc is its key.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &escape);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(IsSearchingLook(dialog));
        EXPECT_TRUE(dialog.Timer1->isActive());
        EXPECT_FALSE(state().polling.PollingEnabled);
        EXPECT_EQ(Lines(*dialog.ListBox1), QStringList({" 3  \tSTREFA  1"}));

        dialog.close();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(dialog.Timer1->isActive());
        EXPECT_FALSE(dialog.Animate1->isRunning());
        EXPECT_TRUE(state().polling.PollingEnabled);
    }
    EXPECT_EQ(state().settings.zones, before);
    EXPECT_FALSE(state().SettingsChanged);
    EXPECT_EQ(state().devices.size(), 2u);
}

TEST_F(ControllerList, AnulujAppliesNothing) {
    TOmain& main = Start({1, 2}, {"DevCount=2", "DevAddr=1;2;0;0;0;0;0;0;"});
    const ZoneList before = state().settings.zones;
    TOListaUrz dialog(main, &main);
    Enter(dialog, QStringLiteral("9"), QStringLiteral("Nowa"));
    dialog.BtnDodaj->click();
    dialog.BtnAnuluj->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(state().settings.zones, before);
    EXPECT_FALSE(state().SettingsChanged);
}

TEST_F(ControllerList, OkAfterReducingFourZonesToTwoRestartsPollingAtTheFirstAndPollsOnlyThose) {
    TOmain& main = Start({1, 2, 3, 4}, {"DevCount=4", "DevAddr=1;2;3;4;0;0;0;0;"});
    program->Ticks(5);
    ASSERT_NE(state().pollIndex(), 0);

    WhenDialogOpens<TOListaUrz>([](TOListaUrz& dialog) {
        dialog.ListBox1->setCurrentRow(3);
        dialog.BtnUsun->click();
        dialog.ListBox1->setCurrentRow(2);
        dialog.BtnUsun->click();
        dialog.BtnOK->click();
    });
    main.OpcjeListaUrz->trigger();

    const ZoneList& zones = state().settings.zones;
    EXPECT_EQ(zones.DevCount, 2);
    EXPECT_THAT(zones.DevAddr, ElementsAre(1, 2, 0, 0, 0, 0, 0, 0));
    ASSERT_EQ(state().devices.size(), 2u);
    EXPECT_EQ(state().devices[1]->record.address, 2);
    EXPECT_EQ(state().pollIndex(), 0);
    EXPECT_TRUE(state().SettingsChanged);
    EXPECT_TRUE(state().polling.PollingEnabled);

    const std::size_t before = program->bus.requests.size();
    program->Ticks(40);
    std::vector<int> polled;
    for (std::size_t i = before; i < program->bus.requests.size(); ++i) {
        const SeenRequest& request = program->bus.requests[i];
        EXPECT_EQ(request.function, 3);
        if (polled.empty() || polled.back() != request.address) {
            polled.push_back(request.address);
        }
    }
    ASSERT_GE(polled.size(), 4u);
    EXPECT_THAT(std::vector<int>(polled.begin(), polled.begin() + 4), ElementsAre(1, 2, 1, 2));
    EXPECT_THAT(polled, ::testing::Each(::testing::AnyOf(1, 2)));
}

// The rebuild frees the records the views were built on: each view must be rebuilt on the new ones, or
// the poll ticks after OK reach freed records through the old panels.
TEST_F(ControllerList, OkRebuildsEveryViewOnTheNewRecords) {
    TOmain& main = Start({1, 2, 3, 5}, {"DevCount=3", "DevAddr=1;2;3;0;0;0;0;0;"});
    main.show();
    QApplication::processEvents();
    WhenDialogOpens<TOListaUrz>([](TOListaUrz& dialog) {
        dialog.ListBox1->setCurrentRow(1);
        dialog.BtnUsun->click();
        dialog.ListBox1->setCurrentRow(1);
        Enter(dialog, QStringLiteral("5"), QStringLiteral("Nowa"));
        dialog.BtnModyf->click();
        dialog.BtnOK->click();
    });
    main.OpcjeListaUrz->trigger();
    program->Ticks(20);
    QApplication::processEvents();

    QStringList synoptic;
    for (const TStrefa* panel : main.Osynop->panels()) {
        synoptic << panel->Label1->text();
        EXPECT_TRUE(panel->regulator ==
                    &state().devices[static_cast<std::size_t>(synoptic.size() - 1)]->record);
    }
    QStringList table;
    for (int column = 1; column < main.OTabela->StringGrid1->columnCount(); ++column) {
        table << TOTabela::Cells(*main.OTabela->StringGrid1, column, 0);
    }
    QStringList chart;
    for (int tab = 0; tab < main.OWykres->TabControl1->count(); ++tab) {
        chart << main.OWykres->TabControl1->tabText(tab);
    }
    const QStringList zones({"STREFA  1", "Nowa"});
    EXPECT_EQ(synoptic, zones);
    EXPECT_EQ(table, zones);
    EXPECT_EQ(chart, zones);
    EXPECT_EQ(main.OBarg->Bars().size(), 2u);
}

} // namespace
} // namespace hz70::test
