// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/O_wykres.h"

#include "model/Captions.h"
#include "model/ZoneOperations.h"
#include "views/ArialFont.h"
#include "views/D_param.h"
#include "views/Utf8Text.h"
#include "views/core/TrendChart.h"

#include <QBuffer>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSvgGenerator>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace hz70 {
namespace {

constexpr int kSampleIntervalMs = 1000;
constexpr int kToolBarHeight = 29;
// Pixels per labelled tick along the value axes.
constexpr int kValueTickSpacing = 40;
constexpr int kDefaultValueTicks = 8;
constexpr int kChartMargin = 4;
constexpr int kLabelOverhang = 10; // the upper half of a label at the top of a value axis
constexpr int kZoomAnimationMs = 300;

const std::array<QColor, kCurvesPerZone> kCurveColours{QColor(Qt::red), QColor(0, 128, 0), QColor(Qt::yellow),
                                                       QColor(Qt::blue)};

QFont ChartFont() {
    return ArialFont(12);
}

// A zone name on a tab, its "&" shown as it is rather than taken for a shortcut's mark.
QString TabText(const std::string& name) {
    return QString::fromStdString(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// A chart view whose right click undoes the zoom, the left drag zooming in as Qt does; both animated.
// Only zooming is: an animation redraws the chart on every frame, too much for each new sample.
class TrendChartView : public QChartView {
public:
    TrendChartView(QChart* chart, std::function<void()> zoomReset, QWidget* parent)
        : QChartView(chart, parent), zoomReset_(std::move(zoomReset)) {
        setRubberBand(QChartView::RectangleRubberBand);
        setRenderHint(QPainter::Antialiasing);
        chart->setAnimationDuration(kZoomAnimationMs);
        animationEnd_.setSingleShot(true);
        connect(&animationEnd_, &QTimer::timeout, this,
                [this] { this->chart()->setAnimationOptions(QChart::NoAnimation); });
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        AnimateZoom();
        if (event->button() == Qt::RightButton) {
            chart()->zoomReset();
            zoomReset_();
            event->accept();
            return;
        }
        QChartView::mouseReleaseEvent(event);
    }

private:
    void AnimateZoom() {
        chart()->setAnimationOptions(QChart::SeriesAnimations | QChart::GridAxisAnimations);
        animationEnd_.start(2 * kZoomAnimationMs); // animations still running would stop halfway
    }

    std::function<void()> zoomReset_;
    QTimer animationEnd_;
};

} // namespace

TOWykres::TOWykres(ZoneOperations& zones, QWidget* parent)
    : TViewWindow(parent), zones_(zones), left_(kLeftDesignSpan.lower, kLeftDesignSpan.upper),
      right_(kRightDesignSpan.lower, kRightDesignSpan.upper),
      now_([] { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()); }) {
    setObjectName(QStringLiteral("OWykres"));
    setWindowTitle(QStringLiteral("Wykresy"));
    resize(640, 480);

    TabControl1 = new QTabBar(this);
    TabControl1->setObjectName(QStringLiteral("TabControl1"));
    TabControl1->addTab(QStringLiteral("STREFA 1"));
    connect(TabControl1, &QTabBar::currentChanged, this, &TOWykres::TabControl1Change);
    CreateChart();
    CreateToolBar();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(TabControl1);
    layout->addWidget(Chart1, 1);
    layout->addWidget(ToolBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kSampleIntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TOWykres::Timer1Timer);
    Timer1->start();
}

TOWykres::~TOWykres() {
    FormDestroy();
}

void TOWykres::CreateChart() {
    chart_ = new QChart;
    chart_->setBackgroundRoundness(0);
    chart_->setBackgroundBrush(palette().window());
    chart_->setPlotAreaBackgroundBrush(Qt::white);
    chart_->setPlotAreaBackgroundVisible(true);
    chart_->layout()->setContentsMargins(0, 0, 0, 0);

    QLegend* legend = chart_->legend();
    legend->setAlignment(Qt::AlignTop);
    legend->setBackgroundVisible(true);
    legend->setBrush(QColor(192, 192, 192));
    legend->setPen(QColor(128, 128, 128));
    legend->setFont(ChartFont());
    legend->setLabelColor(Qt::black);
    legend->setMarkerShape(QLegend::MarkerShapeFromSeries);
    legend->setContentsMargins(0, 0, 0, 0);
    // Laid out by hand: in the chart's own layout the legend would cover the top labels' upper halves.
    legend->detachFromChart();
    connect(chart_, &QGraphicsWidget::geometryChanged, this, &TOWykres::PlaceLegend);

    timeItem_ = new QDateTimeAxis;
    timeItem_->setFormat(Text(kTimeLabelFormat));
    timeItem_->setLabelsAngle(-90);
    timeItem_->setLabelsFont(ChartFont());
    chart_->addAxis(timeItem_, Qt::AlignBottom);

    leftItem_ = new QCategoryAxis;
    leftItem_->setTitleText(Text(kTemperatureAxisTitle));
    rightItem_ = new QCategoryAxis;
    rightItem_->setTitleText(Text(kPowerAxisTitle));
    for (QCategoryAxis* item : {leftItem_, rightItem_}) {
        item->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        item->setLabelsFont(ChartFont());
        item->setLabelsColor(Qt::black);
        item->setTitleFont(ChartFont());
    }
    // The right axis draws no grid of its own: one grid, the left axis's, reads better.
    rightItem_->setGridLineVisible(false);
    chart_->addAxis(leftItem_, Qt::AlignLeft);
    chart_->addAxis(rightItem_, Qt::AlignRight);
    // The left axis has no tick marks. Its line goes with them, so the plot's frame draws that edge.
    leftItem_->setLineVisible(false);
    chart_->setPlotAreaBackgroundPen(leftItem_->linePen());
    connect(leftItem_, &QValueAxis::rangeChanged, this, [this] { LabelTicks(left_, leftItem_); });
    connect(rightItem_, &QValueAxis::rangeChanged, this, [this] { LabelTicks(right_, rightItem_); });

    for (int kind = 0; kind < kCurvesPerZone; ++kind) {
        auto* series = new QLineSeries;
        series->setName(Text(kCurveTitles[static_cast<std::size_t>(kind)]));
        series->setColor(kCurveColours[static_cast<std::size_t>(kind)]);
        chart_->addSeries(series);
        series->attachAxis(timeItem_);
        series->attachAxis(OnLeftAxis(kind) ? leftItem_ : rightItem_);
        curves_[static_cast<std::size_t>(kind)] = series;
    }

    Chart1 = new TrendChartView(
        chart_, [this] { ShowCurves(); }, this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    connect(chart_, &QChart::plotAreaChanged, this, &TOWykres::FitTickCounts);
    ShowCurves();
}

void TOWykres::CreateToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(kToolBarHeight);
    ToolBar1->setIconSize(QSize(16, 16));

    ButtonY = new QPushButton(Text("Oś Y"), ToolBar1);
    ButtonY->setObjectName(QStringLiteral("ButtonY"));
    ButtonY->setToolTip(QStringLiteral("Skalowanie osi Y"));
    connect(ButtonY, &QPushButton::clicked, this, &TOWykres::ButtonYClick);

    Label1 = new QLabel(Text("Czas śledzenia:"), ToolBar1);
    Label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1 = new QComboBox(ToolBar1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (const TrackingPeriod& period : kTrackingPeriods) {
        ComboBox1->addItem(Text(period.caption));
    }
    connect(ComboBox1, &QComboBox::activated, this, &TOWykres::ComboBox1Change);

    ButtonCopy = new QToolButton(ToolBar1);
    ButtonCopy->setObjectName(QStringLiteral("ButtonCopy"));
    ButtonCopy->setIcon(QIcon(QStringLiteral(":/icons/tool-16.svg")));
    ButtonCopy->setToolTip(QStringLiteral("Kopiuj wykres do schowka"));
    connect(ButtonCopy, &QToolButton::clicked, this, &TOWykres::ButtonCopyClick);

    ToolBar1->addWidget(ButtonY);
    ToolBar1->addSeparator();
    ToolBar1->addWidget(Label1);
    ToolBar1->addWidget(ComboBox1);
    ToolBar1->addSeparator();
    ToolBar1->addWidget(ButtonCopy);
}

void TOWykres::FormShow() {
    if (!storedSettingsApplied_) {
        storedSettingsApplied_ = true;
        ApplyStoredAxes();
        recorder_.SetPeriodIndex(zones_.chartSettings().Okres);
    }
    ResetZoom();
    RebuildTabs();
    TabControl1Change();
    ComboBox1->setCurrentIndex(recorder_.periodIndex());
}

void TOWykres::ApplyStoredAxes() {
    const ChartSettings& stored = zones_.chartSettings();
    QStringList refusals;
    for (const auto& [axis, settings] :
         {std::pair{&left_, LeftStoredAxis(stored)}, std::pair{&right_, RightStoredAxis(stored)}}) {
        for (const AxisRefusal refusal : ApplyStoredAxis(*axis, settings)) {
            refusals << Text(AxisRefusalText(refusal));
        }
    }
    ReportRefusals(refusals);
}

// Stored settings the axes refuse are reported once start-up has finished.
void TOWykres::ReportRefusals(const QStringList& refusals) {
    if (refusals.isEmpty()) {
        return;
    }
    QTimer::singleShot(0, this, [this, text = refusals.join(QLatin1Char('\n'))] {
        QMessageBox::critical(this, Text(kProgramCaption), text);
    });
}

void TOWykres::RebuildTabs() {
    const ZoneList& zones = zones_.zoneList();
    const int count = zones.slotsInUse();
    const QSignalBlocker blocker(TabControl1);
    while (TabControl1->count() > count) {
        TabControl1->removeTab(TabControl1->count() - 1);
    }
    while (TabControl1->count() < count) {
        TabControl1->addTab(TabText(zones.DevName[static_cast<std::size_t>(TabControl1->count())]));
    }
    for (int i = 0; i < count; ++i) {
        TabControl1->setTabText(i, TabText(zones.DevName[static_cast<std::size_t>(i)]));
    }
    TabControl1->setCurrentIndex(0);
}

void TOWykres::TabControl1Change() {
    ShowCurves();
}

void TOWykres::Timer1Timer() {
    for (int i = 0; i < zones_.zoneCount(); ++i) {
        if (const TRegulator* record = zones_.zone(i)) {
            SampleZone(i, *record);
        }
    }
    // Redrawn only when the shown curves changed: drawing is most of what the window costs.
    if (recorder_.revision(TabControl1->currentIndex()) != shownRevision_) {
        ShowCurves();
    }
}

void TOWykres::SampleZone(int zone, const TRegulator& record) {
    if (recorder_.SampleZone(zone, now_(), record) && zone == TabControl1->currentIndex()) {
        leftItem_->setTitleText(QString::fromStdString(TemperatureAxisTitle(record)));
    }
}

void TOWykres::ComboBox1Change() {
    const int index = ComboBox1->currentIndex();
    if (index < 0) {
        return;
    }
    recorder_.ChoosePeriod(index);
    zones_.MarkSettingsChanged();
}

void TOWykres::ButtonYClick() {
    TDlgParam dialog(*this);
    dialog.exec();
}

void TOWykres::ButtonCopyClick() {
    const QSize size = Chart1->size();
    const QRectF target(QPointF(0, 0), QSizeF(size));
    QByteArray svg;
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(target);
    generator.setTitle(windowTitle());
    {
        QPainter painter(&generator);
        Chart1->scene()->render(&painter, target, Chart1->sceneRect());
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        Chart1->scene()->render(&painter, target, Chart1->sceneRect());
    }
    auto* picture = new QMimeData;
    picture->setData(QStringLiteral("image/svg+xml"), svg);
    picture->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(picture);
}

void TOWykres::StoreSettings() {
    StoreChartState(zones_.chartSettings(), left_, right_, recorder_.periodIndex());
}

void TOWykres::FormDestroy() {
    StoreSettings();
}

void TOWykres::ShowAxes() {
    ResetZoom(); // a zoomed view would hide the new scale
    // A curve's points sit at coordinates that depend on its axis's scale.
    ShowCurves();
}

void TOWykres::ResetZoom() {
    if (chart_->isZoomed()) {
        chart_->zoomReset();
    }
}

void TOWykres::ShowCurves() {
    const int zone = TabControl1->currentIndex();
    shownRevision_ = recorder_.revision(zone);
    // Worked out first: on a logarithmic scale the lower end places the values it cannot show.
    left_.WorkOut(CurvesValueSpan(recorder_.curve(zone, kTemperatureCurve),
                                  recorder_.curve(zone, kSetpointCurve), left_.logarithmic()));
    right_.WorkOut(CurvesValueSpan(recorder_.curve(zone, kPowerCurve), recorder_.curve(zone, kCurrentCurve),
                                   right_.logarithmic()));
    for (int kind = 0; kind < kCurvesPerZone; ++kind) {
        const CurveBuffer& points = recorder_.curve(zone, kind);
        const ChartAxis& axis = OnLeftAxis(kind) ? left_ : right_;
        QList<QPointF> coordinates;
        coordinates.reserve(static_cast<qsizetype>(points.size()));
        for (std::size_t i = 0; i < points.size(); ++i) {
            coordinates.append(QPointF(points[i].time, axis.Coordinate(points[i].value)));
        }
        QLineSeries* series = curves_[static_cast<std::size_t>(kind)];
        series->replace(coordinates);
        series->setVisible(zone >= 0);
    }
    ShowValueAxis(left_, leftItem_);
    ShowValueAxis(right_, rightItem_);
    ShowTimeAxis();
}

void TOWykres::ShowValueAxis(const ChartAxis& axis, QCategoryAxis* item) {
    item->setVisible(axis.visible());
    if (!chart_->isZoomed()) {
        const ValueSpan span = axis.ShownCoordinates();
        item->setRange(span.lower, span.upper);
    }
    LabelTicks(axis, item);
}

// The labels sit on round values of the range the axis shows (which zooming changes too).
void TOWykres::LabelTicks(const ChartAxis& axis, QCategoryAxis* item) {
    const auto value = [&axis](double coordinate) {
        return axis.logarithmic() ? std::pow(10.0, coordinate) : coordinate;
    };
    const std::vector<double> ticks = AxisTicks({value(item->min()), value(item->max())}, axis.logarithmic(),
                                                valueTicks_ > 0 ? valueTicks_ : kDefaultValueTicks);
    const QLocale locale;
    const std::vector<std::string> texts =
        AxisTickLabels(ticks, axis.labelFormat(), locale.decimalPoint().toStdString(),
                       locale.groupSeparator().toStdString());
    QStringList labels;
    QList<qreal> ends;
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        labels << QString::fromStdString(texts[i]);
        ends << axis.Coordinate(ticks[i]);
    }
    QList<qreal> currentEnds;
    for (const QString& label : item->categoriesLabels()) {
        currentEnds << item->endValue(label);
    }
    if (labels == item->categoriesLabels() && ends == currentEnds && item->startValue() == item->min()) {
        return;
    }
    for (const QString& label : item->categoriesLabels()) {
        item->remove(label);
    }
    item->setStartValue(item->min());
    for (qsizetype i = 0; i < labels.size(); ++i) {
        item->append(labels[i], ends[i]);
    }
}

void TOWykres::ShowTimeAxis() {
    if (chart_->isZoomed()) {
        return;
    }
    const int zone = TabControl1->currentIndex();
    const ValueSpan span = TimeAxisSpan({&recorder_.curve(zone, 0), &recorder_.curve(zone, 1),
                                         &recorder_.curve(zone, 2), &recorder_.curve(zone, 3)},
                                        now_());
    timeItem_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(span.lower)),
                        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(span.upper)));
    timeItem_->setTickCount(TimeTickCount(chart_->plotArea().width(), span.upper - span.lower));
}

// The legend across the top, and the plot below it with room for the top labels.
void TOWykres::PlaceLegend() {
    QLegend* legend = chart_->legend();
    const qreal height = legend->effectiveSizeHint(Qt::PreferredSize).height();
    legend->setGeometry(
        QRectF(kChartMargin, kChartMargin, chart_->size().width() - 2 * kChartMargin, height));
    chart_->setMargins(QMargins(kChartMargin, kChartMargin + static_cast<int>(height) + kLabelOverhang,
                                kChartMargin, kChartMargin));
}

// Tick counts follow the plot area's size, so labels neither crowd nor thin out on resizing.
void TOWykres::FitTickCounts() {
    const QRectF area = chart_->plotArea();
    timeItem_->setTickCount(TimeTickCount(area.width(), timeItem_->min().msecsTo(timeItem_->max())));
    const int valueTicks = std::clamp(static_cast<int>(area.height()) / kValueTickSpacing, 2, 12);
    if (valueTicks != valueTicks_) {
        valueTicks_ = valueTicks;
        LabelTicks(left_, leftItem_);
        LabelTicks(right_, rightItem_);
    }
}

} // namespace hz70
