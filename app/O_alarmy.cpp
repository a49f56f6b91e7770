// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/O_alarmy.h"

#include "app/core/AlarmLog.h"
#include "model/AlarmWord.h"
#include "views/ArialFont.h"
#include "views/core/TableTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

namespace hz70 {
namespace {

constexpr int kFontPixels = 12;
constexpr int kRowHeight = 20;
// The newest events shown; the older ones stay in the file.
constexpr std::size_t kMaxShownEvents = 2000;
// The alarm bits' rows in the table's measured-values grid follow its "Stan alarmów" row.
constexpr std::size_t kFirstAlarmRow = 7;

enum Column { kTime, kZone, kName, kEvent, kAcknowledged, kColumns };

// The alarm bit as the table names it: "zwarcie czujnika".
QString AlarmText(const std::string& event) {
    for (std::size_t bit = 0; bit < std::size(kAlarmNames); ++bit) {
        if (event == kAlarmNames[bit]) {
            return QString::fromUtf8(MeasuredRowNames()[kFirstAlarmRow + bit]).trimmed().remove(0, 2);
        }
    }
    return QString::fromStdString(event);
}

QString EventText(const AlarmEvent& event) {
    const bool came = event.change == kCame;
    if (event.event == kCommunicationEvent) {
        return came ? QStringLiteral("brak komunikacji") : QStringLiteral("komunikacja przywrócona");
    }
    if (event.event.starts_with(kModeEventPrefix)) {
        const QString by =
            event.change == kByCommand ? QStringLiteral("polecenie MQTT") : QStringLiteral("operator");
        return QStringLiteral("przełączenie na %1 (%2)")
            .arg(QString::fromStdString(event.event.substr(std::string(kModeEventPrefix).size())), by);
    }
    // "alarm za wysokiej temperatury" says it is an alarm already.
    const QString alarm = AlarmText(event.event);
    const bool named = alarm.startsWith(QStringLiteral("alarm "));
    if (came) {
        return named ? alarm : QStringLiteral("alarm: ") + alarm;
    }
    return (named ? QStringLiteral("koniec: ") : QStringLiteral("koniec alarmu: ")) + alarm;
}

QString AcknowledgedText(const AlarmEvent& event) {
    if (!event.needsAcknowledgement()) {
        return {};
    }
    return event.acknowledged ? QStringLiteral("tak") : QStringLiteral("nie");
}

// "2026-12-09 18:40:01" out of the file's local time with milliseconds and offset.
QString ShownTime(const std::string& iso) {
    return QString::fromStdString(iso.substr(0, 19)).replace(QLatin1Char('T'), QLatin1Char(' '));
}

} // namespace

QString UnacknowledgedText(std::size_t count) {
    if (count == 0) {
        return {};
    }
    if (count == 1) {
        return QStringLiteral("1 niepotwierdzony alarm");
    }
    const std::size_t tens = count % 100;
    const bool few = count % 10 >= 2 && count % 10 <= 4 && (tens < 12 || tens > 14);
    return QStringLiteral("%1 %2").arg(count).arg(few ? QStringLiteral("niepotwierdzone alarmy")
                                                      : QStringLiteral("niepotwierdzonych alarmów"));
}

TOAlarmy::TOAlarmy(AlarmLog& log, bool sound, QWidget* parent) : TViewWindow(parent), log_(log) {
    setObjectName(QStringLiteral("OAlarmy"));
    setWindowTitle(QStringLiteral("Alarmy"));
    resize(700, 320);

    Lista = new QTableWidget(0, kColumns, this);
    Lista->setObjectName(QStringLiteral("Lista"));
    Lista->setFont(ArialFont(kFontPixels));
    Lista->setHorizontalHeaderLabels({QStringLiteral("Czas"), QStringLiteral("Strefa"),
                                      QStringLiteral("Nazwa"), QStringLiteral("Zdarzenie"),
                                      QStringLiteral("Potwierdzony")});
    Lista->horizontalHeader()->setFont(ArialFont(kFontPixels));
    Lista->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Lista->horizontalHeader()->setStretchLastSection(true);
    Lista->verticalHeader()->hide();
    Lista->verticalHeader()->setDefaultSectionSize(kRowHeight);
    Lista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Lista->setSelectionBehavior(QAbstractItemView::SelectRows);
    Lista->setWordWrap(false);
    Lista->setColumnWidth(kTime, 140);
    Lista->setColumnWidth(kZone, 50);
    Lista->setColumnWidth(kName, 120);
    Lista->setColumnWidth(kEvent, 290);

    BtnPotwierdz = new QPushButton(QStringLiteral("Potwierdź"), this);
    BtnPotwierdz->setObjectName(QStringLiteral("BtnPotwierdz"));
    BtnPotwierdz->setFont(ArialFont(kFontPixels, true));
    BtnPotwierdz->setToolTip(
        QStringLiteral("Potwierdza zaznaczone alarmy, a gdy żaden nie jest zaznaczony — wszystkie"));
    Dzwiek = new QCheckBox(QStringLiteral("Sygnał dźwiękowy przy nowym alarmie"), this);
    Dzwiek->setObjectName(QStringLiteral("Dzwiek"));
    Dzwiek->setFont(ArialFont(kFontPixels));
    Dzwiek->setChecked(sound);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BtnPotwierdz);
    buttons->addWidget(Dzwiek);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(Lista);

    connect(BtnPotwierdz, &QPushButton::clicked, this, &TOAlarmy::BtnPotwierdzClick);
    connect(Dzwiek, &QCheckBox::toggled, this, &TOAlarmy::soundChosen);
}

void TOAlarmy::FormShow() {
    const std::vector<AlarmEvent>& events = log_.events();
    const std::size_t shown = std::min(events.size(), kMaxShownEvents);
    setWindowTitle(shown < events.size()
                       ? QStringLiteral("Alarmy — %1 najnowszych z %2").arg(shown).arg(events.size())
                       : QStringLiteral("Alarmy"));
    Lista->setRowCount(static_cast<int>(shown));
    int row = 0;
    for (auto it = events.rbegin(); it != events.rbegin() + static_cast<std::ptrdiff_t>(shown); ++it, ++row) {
        const QString cells[kColumns] = {ShownTime(it->time), QString::number(it->zone),
                                         QString::fromStdString(it->name), EventText(*it),
                                         AcknowledgedText(*it)};
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setForeground(it->needsAcknowledgement() && !it->acknowledged ? Qt::red : Qt::black);
            Lista->setItem(row, column, item);
        }
    }
}

void TOAlarmy::BtnPotwierdzClick() {
    const std::size_t newest = log_.events().size() - 1;
    std::vector<std::size_t> selected;
    for (const QModelIndex& index : Lista->selectionModel()->selectedRows()) {
        selected.push_back(newest - static_cast<std::size_t>(index.row()));
    }
    if (selected.empty()) {
        log_.AcknowledgeAll();
    } else {
        log_.Acknowledge(selected);
    }
    FormShow();
    Q_EMIT acknowledged();
}

} // namespace hz70
