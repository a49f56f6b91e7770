// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_barg.h"

#include "model/ZoneOperations.h"
#include "views/ArialFont.h"
#include "views/core/BarLabels.h"

#include <QBarCategoryAxis>
#include <QBrush>
#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QFrame>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLocale>
#include <QPen>
#include <QTabBar>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace hz70 {
namespace {

constexpr int kTitlePixels = 11;
constexpr int kValueLabelPixels = 11;
constexpr qreal kTitleTop = 4.0;
constexpr qreal kLabelGap = 2.0;
// Above the chart's grid lines; the value labels above the bars.
constexpr qreal kBarLayer = 5.0;
constexpr qreal kLabelLayer = 10.0;
// Height each value-axis tick needs, in lines of its label: the chart cuts a label to "..." when the
// ticks crowd it.
constexpr qreal kTickLines = 2.0;

QStringList CategoryTexts(const BarSeries& series) {
    std::vector<std::string> markup;
    for (const std::string& label : series.Labels()) {
        markup.push_back(LabelMarkup(label));
    }
    QStringList texts;
    for (const std::string& text : DistinctLabels(markup)) {
        texts << QString::fromStdString(text);
    }
    return texts;
}

} // namespace

TOBarg::TOBarg(ZoneOperations& zones, QWidget* parent)
    : TViewWindow(parent), zones_(zones), colours_{QColor(Qt::red), QColor(Qt::blue)} {
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
    title_->setFont(ArialFont(kTitlePixels));
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
        FitAxisTicks();
        PlaceTitle();
        ShowAllSlots();
    });
}

QString TOBarg::TitleText() const {
    return title_->text();
}

int TOBarg::ShownTab() const {
    return TabControl1->currentIndex() == kCurrentTab ? kCurrentTab : kTemperatureTab;
}

const BarSeries& TOBarg::Shown() const {
    return points_[static_cast<std::size_t>(ShownTab())];
}

void TOBarg::FormShow() {
    const int zones = zones_.zoneCount();
    for (BarSeries& series : points_) {
        series.Rebuild(zones);
    }
    qDeleteAll(bars_);
    bars_.clear();
    qDeleteAll(valueLabels_);
    valueLabels_.clear();
    for (int slot = 0; slot < zones; ++slot) {
        auto* bar = new QGraphicsRectItem(Chart1);
        bar->setPen(Qt::NoPen);
        bar->setZValue(Chart1->zValue() + kBarLayer);
        bars_.push_back(bar);
        auto* label = new QGraphicsSimpleTextItem(Chart1);
        label->setFont(ArialFont(kValueLabelPixels));
        label->setBrush(Qt::black);
        label->setZValue(Chart1->zValue() + kLabelLayer);
        valueLabels_.push_back(label);
    }
    const QSignalBlocker quiet(TabControl1);
    TabControl1->setCurrentIndex(kTemperatureTab);
    TabControl1Change();
}

void TOBarg::TabControl1Change() {
    const int tab = ShownTab();
    for (QGraphicsRectItem* bar : bars_) {
        bar->setBrush(colours_[static_cast<std::size_t>(tab)]);
    }
    title_->setText(QString::fromUtf8(tab == kTemperatureTab ? kTemperatureTitle : kCurrentTitle));
    ShowAxisRange(tab == kTemperatureTab ? AutomaticAxisRange(points_[kTemperatureTab].points())
                                         : kCurrentAxisRange);
    ShowCategories();
    ShowAllSlots();
    PlaceTitle();
}

void TOBarg::UpdateZone(int /*slot*/, const TRegulator& record) {
    const bool inSeries = points_[kTemperatureTab].Replace(TemperaturePoint(record)) &&
                          points_[kCurrentTab].Replace(CurrentPoint(record));
    if (!inSeries) {
        return;
    }
    ShowCategories();
    // A new axis range moves every bar; otherwise only the zone's own bar may change.
    if (ShownTab() == kTemperatureTab &&
        ShowAxisRange(AutomaticAxisRange(points_[kTemperatureTab].points()))) {
        ShowAllSlots();
    } else {
        ShowSlot(static_cast<std::size_t>(record.zoneNumber - 1));
    }
}

bool TOBarg::ShowAxisRange(const AxisRange& range) {
    axisRange_ = range;
    return FitAxisTicks();
}

bool TOBarg::FitAxisTicks() {
    const qreal tickRoom = kTickLines * QFontMetricsF(valueAxis_->labelsFont()).height();
    const AxisRange range = FitTicks(axisRange_, Chart1->plotArea().height(), tickRoom);
    bool changed = false;
    if (valueAxis_->min() != range.min || valueAxis_->max() != range.max) {
        valueAxis_->setRange(range.min, range.max);
        changed = true;
    }
    if (valueAxis_->tickInterval() != range.step) {
        valueAxis_->setTickInterval(range.step);
        changed = true;
    }
    return changed;
}

void TOBarg::ShowCategories() {
    const QStringList categories = CategoryTexts(Shown());
    if (zoneAxis_->categories() != categories) {
        zoneAxis_->setCategories(categories);
    }
}

void TOBarg::ShowAllSlots() {
    for (std::size_t slot = 0; slot < bars_.size(); ++slot) {
        ShowSlot(slot);
    }
}

// The bar is drawn over the value axis's range, on whole pixels: it is redrawn only when its drawn height
// changes. Its value label is centred above it, and kept inside the plot when the bar is cut off at the
// top.
void TOBarg::ShowSlot(std::size_t slot) {
    const std::vector<BarPoint>& points = Shown().points();
    if (slot >= points.size()) {
        return;
    }
    const BarPoint& point = points[slot];
    const QRectF plot = Chart1->plotArea();
    const AxisRange range{valueAxis_->min(), valueAxis_->max(), valueAxis_->tickInterval()};
    const Box box = BarBox({plot.left(), plot.top(), plot.width(), plot.height()},
                           static_cast<int>(points.size()), static_cast<int>(slot), point.y, range);
    const QRectF barRect(QPointF(std::round(box.left), std::round(box.top)),
                         QPointF(std::round(box.left + box.width), std::round(box.top + box.height)));

    QGraphicsRectItem* bar = bars_[slot];
    const bool barShown = !point.empty && !barRect.isEmpty();
    if (bar->rect() != barRect) {
        bar->setRect(barRect);
    }
    if (bar->isVisible() != barShown) {
        bar->setVisible(barShown);
    }

    QGraphicsSimpleTextItem* label = valueLabels_[slot];
    const QLocale locale;
    const QString text =
        point.empty ? QString()
                    : QString::fromStdString(BarValueText(point.y, locale.decimalPoint().toStdString(),
                                                          locale.groupSeparator().toStdString()));
    if (label->isVisible() == point.empty) {
        label->setVisible(!point.empty);
    }
    if (label->text() != text) {
        label->setText(text);
    }
    const QRectF textBox = label->boundingRect();
    const qreal y = std::clamp(barRect.top() - textBox.height() - kLabelGap, plot.top(),
                               std::max(plot.top(), plot.bottom() - textBox.height()));
    const QPointF place(barRect.center().x() - textBox.width() / 2.0, y);
    if (label->pos() != place) {
        label->setPos(place);
    }
}

void TOBarg::PlaceTitle() {
    title_->setPos(Chart1->plotArea().left(), kTitleTop);
}

} // namespace hz70
