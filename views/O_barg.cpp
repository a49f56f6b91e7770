// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_barg.h"

#include "app/AppState.h"
#include "views/core/BarLabels.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFrame>
#include <QGraphicsSimpleTextItem>
#include <QLocale>
#include <QTabBar>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace hz70 {
namespace {

constexpr int kTitlePixels = 11;
constexpr int kValueLabelPixels = 11;
constexpr qreal kTitleTop = 4.0;
constexpr qreal kLabelGap = 2.0;

QFont ArialPixels(int pixels) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    return font;
}

QBarSeries* NewSeries(const char* name, const QColor& colour, QObject* owner) {
    auto* series = new QBarSeries(owner);
    series->setObjectName(QString::fromLatin1(name));
    auto* set = new QBarSet(QString::fromLatin1(name));
    set->setColor(colour);
    set->setBorderColor(colour);
    series->append(set);
    return series;
}

QBarSet* BarsOf(QBarSeries* series) {
    return series->barSets().constFirst();
}

QStringList CategoryTexts(const BarSeries& series) {
    QStringList texts;
    for (const std::string& label : DistinctLabels(series.Labels())) {
        texts << QString::fromStdString(label);
    }
    return texts;
}

} // namespace

TOBarg::TOBarg(AppState& state, QWidget* parent) : TViewWindow(parent), state_(state) {
    setObjectName(QStringLiteral("OBarg"));
    setWindowTitle(QStringLiteral("Bargrafy"));
    resize(696, 480);

    TabControl1 = new QTabBar(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->addTab(QStringLiteral("Temperatury"));
    TabControl1->addTab(QStringLiteral("Prądy"));
    TabControl1->setExpanding(false);

    Chart1 = new QChart;
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->legend()->hide();
    Chart1->setBackgroundRoundness(0);
    Chart1->setLocalizeNumbers(true);
    title_ = new QGraphicsSimpleTextItem(Chart1);
    title_->setFont(ArialPixels(kTitlePixels));
    title_->setBrush(Qt::black);
    // Room above the plot for the title.
    Chart1->setMargins(QMargins(8, static_cast<int>(kTitleTop) + kTitlePixels + 8, 8, 4));

    zoneAxis_ = new QBarCategoryAxis(Chart1);
    valueAxis_ = new QValueAxis(Chart1);
    valueAxis_->setTickType(QValueAxis::TicksDynamic);
    valueAxis_->setTickAnchor(0.0);
    valueAxis_->setLabelFormat(QStringLiteral("%.0f")); // every range has whole-number ticks
    Chart1->addAxis(zoneAxis_, Qt::AlignBottom);
    Chart1->addAxis(valueAxis_, Qt::AlignLeft);
    ShowAxisRange(kDesignAxisRange);

    Series1 = NewSeries("Series1", Qt::red, this);
    Series2 = NewSeries("Series2", Qt::blue, this);
    series_ = {Series1, Series2};

    ChartView1 = new QChartView(Chart1);
    ChartView1->setObjectName(QStringLiteral("ChartView1"));
    ChartView1->setRenderHint(QPainter::Antialiasing);
    auto* page = new QFrame(this);
    page->setFrameShape(QFrame::StyledPanel);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->addWidget(ChartView1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(TabControl1);
    layout->addWidget(page);

    connect(TabControl1, &QTabBar::currentChanged, this, &TOBarg::TabControl1Change);
    connect(Chart1, &QChart::plotAreaChanged, this, [this] {
        PlaceTitle();
        PlaceLabels();
    });
}

QString TOBarg::TitleText() const {
    return title_->text();
}

int TOBarg::ShownTab() const {
    return TabControl1->currentIndex() == kCurrentTab ? kCurrentTab : kTemperatureTab;
}

void TOBarg::FormShow() {
    const int zones = static_cast<int>(state_.devices.size());
    for (std::size_t tab = 0; tab < series_.size(); ++tab) {
        points_[tab].Rebuild(zones);
        QBarSet* bars = BarsOf(series_[tab]);
        bars->remove(0, bars->count());
        bars->append(QList<qreal>(zones, 0.0));
    }
    qDeleteAll(valueLabels_);
    valueLabels_.clear();
    for (int slot = 0; slot < zones; ++slot) {
        auto* label = new QGraphicsSimpleTextItem(Chart1);
        label->setFont(ArialPixels(kValueLabelPixels));
        label->setBrush(Qt::black);
        label->setZValue(Chart1->zValue() + 10);
        valueLabels_.push_back(label);
    }
    const QSignalBlocker quiet(TabControl1);
    TabControl1->setCurrentIndex(kTemperatureTab);
    TabControl1Change();
}

void TOBarg::TabControl1Change() {
    const int tab = ShownTab();
    ShowOnly(tab);
    title_->setText(QString::fromUtf8(tab == kTemperatureTab ? kTemperatureTitle : kCurrentTitle));
    ShowAxisRange(tab == kTemperatureTab ? AutomaticAxisRange(points_[kTemperatureTab].points())
                                         : kCurrentAxisRange);
    ShowLabels();
    PlaceTitle();
}

void TOBarg::UpdateZone(TRegulator* record) {
    if (record == nullptr) {
        return;
    }
    const bool inSeries = points_[kTemperatureTab].Replace(TemperaturePoint(*record)) &&
                          points_[kCurrentTab].Replace(CurrentPoint(*record));
    if (!inSeries) {
        return;
    }
    const int slot = record->zoneNumber - 1;
    SetBarValue(kTemperatureTab, slot);
    SetBarValue(kCurrentTab, slot);
    if (ShownTab() == kTemperatureTab) {
        ShowAxisRange(AutomaticAxisRange(points_[kTemperatureTab].points()));
    }
    ShowLabels();
}

void TOBarg::ShowOnly(int tab) {
    for (int t = 0; t < static_cast<int>(series_.size()); ++t) {
        QBarSeries* series = series_[static_cast<std::size_t>(t)];
        const bool attached = series->chart() != nullptr;
        if (t == tab && !attached) {
            Chart1->addSeries(series);
            series->attachAxis(zoneAxis_);
            series->attachAxis(valueAxis_);
        } else if (t != tab && attached) {
            Chart1->removeSeries(series);
            series->setParent(this); // the chart hands it back without an owner
        }
    }
}

void TOBarg::SetBarValue(int tab, int slot) {
    const BarPoint& point = points_[static_cast<std::size_t>(tab)].points()[static_cast<std::size_t>(slot)];
    QBarSet* bars = BarsOf(series_[static_cast<std::size_t>(tab)]);
    // An empty point is a bar of height 0, which the chart does not draw.
    if (bars->at(slot) != point.y) {
        bars->replace(slot, point.y);
    }
}

void TOBarg::ShowAxisRange(const AxisRange& range) {
    valueAxis_->setRange(range.min, range.max);
    valueAxis_->setTickInterval(range.step);
}

// Category texts and value labels of the shown series.
void TOBarg::ShowLabels() {
    const BarSeries& shown = points_[static_cast<std::size_t>(ShownTab())];
    const QStringList categories = CategoryTexts(shown);
    if (zoneAxis_->categories() != categories) {
        zoneAxis_->setCategories(categories);
    }
    const QLocale locale;
    const std::string decimalPoint = locale.decimalPoint().toStdString();
    const std::string groupSeparator = locale.groupSeparator().toStdString();
    for (std::size_t slot = 0; slot < valueLabels_.size() && slot < shown.points().size(); ++slot) {
        const BarPoint& point = shown.points()[slot];
        QGraphicsSimpleTextItem* label = valueLabels_[slot];
        label->setVisible(!point.empty);
        label->setText(point.empty
                           ? QString()
                           : QString::fromStdString(BarValueText(point.y, decimalPoint, groupSeparator)));
    }
    PlaceLabels();
}

// Each value label is centred above its bar, and kept inside the plot when the bar is cut off at the top.
void TOBarg::PlaceLabels() {
    QBarSeries* series = series_[static_cast<std::size_t>(ShownTab())];
    if (series->chart() == nullptr) {
        return;
    }
    const QRectF plot = Chart1->plotArea();
    const BarSeries& shown = points_[static_cast<std::size_t>(ShownTab())];
    for (std::size_t slot = 0; slot < valueLabels_.size() && slot < shown.points().size(); ++slot) {
        QGraphicsSimpleTextItem* label = valueLabels_[slot];
        const double top = std::max(shown.points()[slot].y, 0.0);
        const QPointF barTop = Chart1->mapToPosition(QPointF(static_cast<qreal>(slot), top), series);
        const QRectF box = label->boundingRect();
        const qreal y = std::clamp(barTop.y() - box.height() - kLabelGap, plot.top(),
                                   std::max(plot.top(), plot.bottom() - box.height()));
        label->setPos(barTop.x() - box.width() / 2.0, y);
    }
}

void TOBarg::PlaceTitle() {
    title_->setPos(Chart1->plotArea().left(), kTitleTop);
}

} // namespace hz70
