// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Hz70main.h"
#include "support/FakeClock.h"
#include "support/FakeHz70Bus.h"
#include "support/FakeSerialPort.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hz70::test {

// What a message box showed before the test answered it.
struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Answers every message box that opens while it lives with `button`, and records what each showed.
// Message boxes run nested event loops, so the answer comes from a timer inside that loop.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok) : button_(button) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { AnswerOpenBox(); });
        timer_.start();
    }
    void SetAnswer(QMessageBox::StandardButton button) { button_ = button; }
    [[nodiscard]] const std::vector<SeenMessage>& seen() const { return seen_; }

private:
    void AnswerOpenBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        QStringList buttons;
        for (const QAbstractButton* shown : box->buttons()) {
            buttons << shown->text();
        }
        seen_.push_back({box->windowTitle(), box->text(), box->icon(), buttons});
        QAbstractButton* button = box->button(button_);
        if (button == nullptr) {
            button = box->buttons().value(0);
        }
        button->click();
    }

    QMessageBox::StandardButton button_;
    QTimer timer_;
    std::vector<SeenMessage> seen_;
};

// Counts the paint events of `root` and the widgets inside it while it lives, and where they painted.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(const QWidget* root) : root_(root) {
        QApplication::instance()->installEventFilter(this);
    }
    ~PaintCounter() override { QApplication::instance()->removeEventFilter(this); }
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    [[nodiscard]] int count() const { return count_; }
    [[nodiscard]] QRect painted() const { return painted_; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && widget != nullptr &&
            (widget == root_ || root_->isAncestorOf(widget))) {
            ++count_;
            const QRect rect = static_cast<QPaintEvent*>(event)->rect();
            painted_ |= rect.translated(widget->mapTo(root_, QPoint(0, 0)));
        }
        return false;
    }

private:
    const QWidget* root_;
    int count_ = 0;
    QRect painted_;
};

// Runs `action` once the next modal dialog of type T is open, then lets the dialog go on.
template <typename T>
void WhenDialogOpens(std::function<void(T&)> action) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(*dialog);
        }
    });
    timer->start();
}

// Runs the event loop until `done` or `limitMs` have passed, looking every 10 ms.
inline void RunEventsUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < limitMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

// The whole program on a fake bus of RTU controllers, with its settings file in a temporary folder.
class ProgramOnFakeBus {
public:
    FakeClock clock{1'000'000, 1};
    FakeSerialPort port;
    FakeHz70Bus bus{port};
    QTemporaryDir directory;
    std::unique_ptr<TOmain> window;

    // Controllers at `addresses` answer as HZ70s. The settings file gets `settingsText` (if any) plus
    // RTU framing so that the fake bus understands the requests.
    explicit ProgramOnFakeBus(const std::vector<int>& addresses = {1}) : addresses_(addresses) {
        for (const int address : addresses) {
            FakeSlave slave;
            for (std::uint16_t reg = 4000; reg <= 4024; ++reg) {
                slave.registers[reg] = 0;
            }
            bus.slaves[static_cast<std::uint8_t>(address)] = slave;
        }
    }

    [[nodiscard]] std::filesystem::path folder() const { return directory.path().toStdString(); }

    // `lines` are key=value lines; unless they name a mode, the link is set to RTU, which the fake bus
    // understands.
    void WriteSettingsFile(const std::vector<std::string>& lines) const {
        std::string text;
        bool modeGiven = false;
        for (const std::string& line : lines) {
            text += line + "\r\n";
            modeGiven = modeGiven || line.starts_with("Mode=");
        }
        if (!modeGiven) {
            text += "Mode=6\r\n";
        }
        std::FILE* file = std::fopen((folder() / "HZ70wiz.INI").c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }

    // The settings file lists the answering controllers as the zones, in their order, named `names`
    // ("A;B;C;") when given, with `lines` after them.
    void ListZones(const std::string& names = {}, std::vector<std::string> lines = {}) const {
        std::string list = "DevAddr=";
        for (std::size_t slot = 0; slot < kZoneSlots; ++slot) {
            list += std::to_string(slot < addresses_.size() ? addresses_[slot] : 0) + ";";
        }
        lines.insert(lines.begin(), {"DevCount=" + std::to_string(addresses_.size()), list});
        if (!names.empty()) {
            lines.push_back("DevName=" + names);
        }
        WriteSettingsFile(lines);
    }

    TOmain& Start() {
        if (!std::filesystem::exists(folder() / "HZ70wiz.INI")) {
            WriteSettingsFile({});
        }
        window = std::make_unique<TOmain>(port, clock, folder());
        return *window;
    }

    // Runs poll ticks as the timer would, the clock moving 100 ms between them.
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            window->Timer1Timer();
            clock.Advance(100);
        }
    }

private:
    std::vector<int> addresses_;
};

} // namespace hz70::test
