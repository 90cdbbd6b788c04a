#include "forms/Trend/TrendPlot.h"

#include <QChart>
#include <QColor>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFont>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScatterSeries>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

#include "logread/LogReader.h"
#include "shell/Latin1View.h"

namespace vx::forms {

namespace {

// The plot reduces its points to about one min/max pair per two pixel
// columns, and never hands the chart more than 2 * kMaxBuckets points.
constexpr int kMinBuckets = 100;
constexpr int kMaxBuckets = 1000;

// A fresh window shows one minute; a short series is never squeezed below
// ten seconds, so the time labels stay apart.
constexpr qint64 kEmptySpanMs = 60'000;
constexpr qint64 kMinSpanMs = 10'000;
constexpr qint64 kDayMs = 86'400'000;
// A time label "hh:mm:ss" needs about 75 pixels with its spacing.
constexpr int kTimeLabelWidth = 75;
constexpr int kMinTimeTicks = 3;
constexpr int kMaxTimeTicks = 12;

// The wheel zooms by this factor per notch (120 eighths of a degree); the
// keys + and - do the same, Left and Right pan by a tenth of the plot.
constexpr double kWheelStep = 0.8;
constexpr double kKeyPanStep = 0.1;
// A zoomed span never gets shorter than a few readings or longer than a
// lifetime of logging.
constexpr qint64 kMinZoomMs = 5'000;
constexpr qint64 kMaxZoomMs = 50 * 366 * kDayMs;
// A rectangle narrower than this is a click, not a zoom.
constexpr int kMinDragPixels = 4;

constexpr std::string_view kReadoutHint =
    "Wheel: zoom    Drag: pan    Right-drag or Shift+drag: zoom to a span    Esc: follow";

std::size_t indexOf(trend::Column column) {
    return column == trend::Column::Primary ? 0 : 1;
}

}  // namespace

TrendPlot::TrendPlot(QWidget* parent) : QChartView(parent) {
    QChart* plot = chart();
    plot->legend()->hide();
    plot->setMargins(QMargins(4, 4, 4, 4));
    QFont titleFont = plot->titleFont();
    titleFont.setBold(true);
    plot->setTitleFont(titleFont);

    timeAxis_ = new QDateTimeAxis(plot);
    timeAxis_->setFormat(QStringLiteral("hh:mm:ss"));
    timeAxis_->setTitleText(QStringLiteral("Time"));
    timeAxis_->setTickCount(7);
    plot->addAxis(timeAxis_, Qt::AlignBottom);

    for (const trend::Column which : {trend::Column::Primary, trend::Column::Secondary}) {
        const QColor tint = colour(which);
        auto* axis = new QValueAxis(plot);
        axis->setLabelFormat(QStringLiteral("%.6g"));
        axis->setTickCount(6);
        axis->setTitleBrush(tint);
        axis->setLabelsColor(tint);
        axis->setLinePenColor(tint);
        plot->addAxis(axis, which == trend::Column::Primary ? Qt::AlignLeft : Qt::AlignRight);
        column(which).axis = axis;
    }
    column(trend::Column::Secondary).axis->setGridLineVisible(false);
    column(trend::Column::Primary).shown = true;

    // The reading under the mouse, marked on the plot.
    cursorMark_ = new QScatterSeries;
    cursorMark_->setMarkerSize(10.0);
    cursorMark_->setColor(Qt::transparent);
    cursorMark_->setBorderColor(Qt::black);
    plot->addSeries(cursorMark_);
    cursorMark_->attachAxis(timeAxis_);
    cursorMark_->attachAxis(column(trend::Column::Primary).axis);
    cursorMark_->setVisible(false);

    setRenderHint(QPainter::Antialiasing);
    viewport()->setMouseTracking(true);
    viewport()->installEventFilter(this);
    rubberBand_ = new QRubberBand(QRubberBand::Rectangle, viewport());
}

QColor TrendPlot::colour(trend::Column column) {
    return column == trend::Column::Primary ? QColor(0x1f, 0x5f, 0xbf) : QColor(0xd0, 0x60, 0x10);
}

TrendPlot::ColumnView& TrendPlot::column(trend::Column column) {
    return columns_[indexOf(column)];
}

const TrendPlot::ColumnView& TrendPlot::column(trend::Column column) const {
    return columns_[indexOf(column)];
}

void TrendPlot::showReadings(const trend::PointBuffer& points) {
    points_ = &points;
    session_ = nullptr;
}

void TrendPlot::showSession(const logread::Session* session) {
    points_ = nullptr;
    session_ = session;
}

void TrendPlot::setChannel(trend::LogColumn channel) {
    channel_ = channel;
}

trend::LogColumn TrendPlot::sessionColumn(trend::Column which) const {
    return which == trend::Column::Primary ? channel_ : trend::logColumn(which);
}

void TrendPlot::setColumn(trend::Column which, const trend::ColumnLabel& label,
                          const QString& axisTitle, bool shown) {
    ColumnView& view = column(which);
    view.label = label;
    view.axisTitle = axisTitle;
    view.shown = shown;
}

void TrendPlot::setSpan(qint64 ms) {
    spanMs_ = ms;
}

void TrendPlot::follow() {
    following_ = true;
}

const QList<QLineSeries*>& TrendPlot::plotted(trend::Column which) const {
    return column(which).lines;
}

std::optional<TrendPlot::TimeRange> TrendPlot::dataRange() const {
    if (session_ != nullptr) {
        const auto& buckets = session_->series.buckets();
        if (buckets.empty()) {
            return std::nullopt;
        }
        // A session shares the reader's slices with the others in its file, so
        // its slices may be minutes wide: the ends are its first and last
        // reading. Only when a clock set back or forward put those in the
        // middle do the outer slices bound the readings.
        const qint64 width = session_->series.width();
        const qint64 firstSlice = buckets.front().index * width;
        const qint64 lastSlice = buckets.back().index * width;
        const auto inSlice = [width](qint64 at, qint64 slice) {
            return at >= slice && at < slice + width;
        };
        return TimeRange{
            .from = inSlice(session_->firstAt, firstSlice) ? session_->firstAt : firstSlice,
            .to = inSlice(session_->lastAt, lastSlice)
                      ? session_->lastAt
                      : lastSlice + width - logread::kStampResolutionMs};
    }
    if (points_ == nullptr || points_->isEmpty()) {
        return std::nullopt;
    }
    const auto [first, last] = std::minmax_element(
        points_->points().begin(), points_->points().end(),
        [](const trend::Point& a, const trend::Point& b) { return a.msecs < b.msecs; });
    return TimeRange{.from = first->msecs, .to = last->msecs};
}

TrendPlot::TimeRange TrendPlot::wantedRange() const {
    if (!following_) {
        return {.from = viewFrom_, .to = viewTo_};
    }
    const std::optional<TimeRange> data = dataRange();
    if (!data) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        return {.from = now - kEmptySpanMs, .to = now};
    }
    if (spanMs_ == 0) {
        return {.from = data->from, .to = std::max(data->to, data->from + kMinSpanMs)};
    }
    return {.from = data->to - spanMs_, .to = data->to};
}

TrendPlot::TimeRange TrendPlot::visibleRange() const {
    return {.from = timeAxis_->min().toMSecsSinceEpoch(),
            .to = timeAxis_->max().toMSecsSinceEpoch()};
}

void TrendPlot::redraw() {
    for (const ColumnView& view : columns_) {
        view.axis->setTitleText(view.axisTitle);
    }
    const int width = static_cast<int>(chart()->plotArea().width());
    const int maxTicks = std::clamp(width / kTimeLabelWidth, kMinTimeTicks, kMaxTimeTicks);
    TimeRange range = wantedRange();
    int tickCount = maxTicks;
    if (following_) {
        // Round the ends out so that each grid line falls on a readable time.
        const trend::TimeTicks ticks =
            trend::timeTicks(range.from, range.to,
                             QDateTime::fromMSecsSinceEpoch(range.from).offsetFromUtc(), maxTicks);
        range = {.from = ticks.from, .to = ticks.to};
        tickCount = ticks.count;
    }
    // Readings spread over more than a day (single readings, or a clock set
    // forward) need the date; a day of continuous readings does not.
    timeAxis_->setFormat(range.to - range.from > kDayMs ? QStringLiteral("MM/dd hh:mm")
                                                        : QStringLiteral("hh:mm:ss"));
    timeAxis_->setTickCount(tickCount);
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(range.from),
                        QDateTime::fromMSecsSinceEpoch(range.to));

    const int buckets = std::clamp(width / 2, kMinBuckets, kMaxBuckets);
    drawColumn(trend::Column::Primary, buckets);
    drawColumn(trend::Column::Secondary, buckets);
}

void TrendPlot::drawColumn(trend::Column which, int buckets) {
    ColumnView& view = column(which);
    const TimeRange range = visibleRange();
    QList<QList<QPointF>> runs;
    if (view.shown) {
        std::vector<trend::Extent> extents;
        if (session_ != nullptr) {
            extents =
                trend::extentsOf(session_->series, sessionColumn(which), range.from, range.to);
        } else if (points_ != nullptr) {
            extents = trend::extentsOf(*points_, which, range.from, range.to);
        }
        runs = trend::reduce(extents, buckets);
    }
    view.axis->setVisible(view.shown);

    // Qt Charts draws one unbroken line per series, so every run between two
    // gaps is a series of its own; the series are reused from one redraw to
    // the next.
    QList<QLineSeries*>& pool = view.lines;
    while (pool.size() > runs.size()) {
        QLineSeries* series = pool.takeLast();
        chart()->removeSeries(series);
        delete series;
    }
    // The scale fits the readings inside the span; the neighbours outside it
    // only carry the line to the edges, unless there is nothing else.
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    double outsideLow = low;
    double outsideHigh = high;
    const QColor tint = colour(which);
    for (qsizetype i = 0; i < runs.size(); ++i) {
        if (i == pool.size()) {
            auto* series = new QLineSeries;
            QPen pen(tint);
            pen.setWidthF(1.0);
            series->setPen(pen);
            series->setColor(tint);
            series->setMarkerSize(5.0);
            chart()->addSeries(series);
            series->attachAxis(timeAxis_);
            series->attachAxis(view.axis);
            pool.append(series);
        }
        // A lone reading between gaps has no line to draw; its marker shows it.
        pool[i]->setPointsVisible(runs[i].size() == 1);
        pool[i]->replace(runs[i]);
        for (const QPointF& p : runs[i]) {
            const bool inside = p.x() >= double(range.from) && p.x() <= double(range.to);
            double& lo = inside ? low : outsideLow;
            double& hi = inside ? high : outsideHigh;
            lo = std::min(lo, p.y());
            hi = std::max(hi, p.y());
        }
    }
    if (low > high) {
        low = outsideLow;
        high = outsideHigh;
    }

    if (low > high) {
        view.axis->setRange(0.0, 1.0);
        return;
    }
    double margin = (high - low) * 0.05;
    if (margin <= 0.0) {
        margin = std::max(std::fabs(high) * 1e-3, 1e-9);
    }
    view.axis->setRange(low - margin, high + margin);
    view.axis->applyNiceNumbers();
}

void TrendPlot::stopFollowing() {
    if (following_) {
        const TimeRange range = visibleRange();
        viewFrom_ = range.from;
        viewTo_ = range.to;
        following_ = false;
    }
}

void TrendPlot::setView(qint64 from, qint64 to) {
    if (to - from < kMinZoomMs) {
        const qint64 middle = from + (to - from) / 2;
        from = middle - kMinZoomMs / 2;
        to = from + kMinZoomMs;
    }
    following_ = false;
    viewFrom_ = from;
    viewTo_ = std::min(to, from + kMaxZoomMs);
    redraw();
    emit viewChanged();
}

void TrendPlot::zoomAround(qint64 anchor, double factor) {
    stopFollowing();
    const TimeRange range = visibleRange();
    const double span = double(range.to - range.from);
    if (span <= 0.0) {
        return;
    }
    const double wanted = std::clamp(span * factor, double(kMinZoomMs), double(kMaxZoomMs));
    const qint64 from = anchor - std::llround(double(anchor - range.from) * wanted / span);
    setView(from, from + std::llround(wanted));
}

void TrendPlot::panBy(double plotWidths) {
    stopFollowing();
    const TimeRange range = visibleRange();
    const qint64 shift = std::llround(double(range.to - range.from) * plotWidths);
    setView(range.from + shift, range.to + shift);
}

QRect TrendPlot::plotRect() const {
    const QRectF scene = chart()->mapRectToScene(chart()->plotArea());
    return mapFromScene(scene).boundingRect();
}

std::optional<qint64> TrendPlot::timeAt(const QPoint& viewportPos, bool clampToPlot) const {
    const QRect plot = plotRect();
    if (plot.width() <= 0 || (!clampToPlot && !plot.contains(viewportPos))) {
        return std::nullopt;
    }
    const int x = std::clamp(viewportPos.x(), plot.left(), plot.right());
    const TimeRange range = visibleRange();
    const double share = double(x - plot.left()) / double(plot.width());
    return range.from + std::llround(share * double(range.to - range.from));
}

void TrendPlot::keyPressEvent(QKeyEvent* event) {
    if (plotKey(event->key())) {
        event->accept();
        return;
    }
    QChartView::keyPressEvent(event);
}

bool TrendPlot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport() && plotMouse(event)) {
        return true;
    }
    return QChartView::eventFilter(watched, event);
}

bool TrendPlot::plotKey(int key) {
    const TimeRange range = visibleRange();
    const qint64 middle = range.from + (range.to - range.from) / 2;
    switch (key) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomAround(middle, kWheelStep);
            return true;
        case Qt::Key_Minus:
            zoomAround(middle, 1.0 / kWheelStep);
            return true;
        case Qt::Key_Left:
            panBy(-kKeyPanStep);
            return true;
        case Qt::Key_Right:
            panBy(kKeyPanStep);
            return true;
        default:
            return false;
    }
}

bool TrendPlot::plotMouse(QEvent* event) {
    switch (event->type()) {
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const std::optional<qint64> at = timeAt(wheel->position().toPoint(), false);
            const int notches = wheel->angleDelta().y();
            if (!at || notches == 0) {
                return false;
            }
            zoomAround(*at, std::pow(kWheelStep, notches / 120.0));
            return true;
        }
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const bool zoom = mouse->button() == Qt::RightButton ||
                              (mouse->button() == Qt::LeftButton &&
                               mouse->modifiers().testFlag(Qt::ShiftModifier));
            if (!plotRect().contains(mouse->position().toPoint()) ||
                (!zoom && mouse->button() != Qt::LeftButton)) {
                return false;
            }
            setFocus(Qt::MouseFocusReason);
            drag_ = zoom ? Drag::Zoom : Drag::Pan;
            dragStart_ = mouse->position().toPoint();
            dragRange_ = visibleRange();
            if (zoom) {
                const QRect plot = plotRect();
                rubberBand_->setGeometry(QRect(dragStart_.x(), plot.top(), 1, plot.height()));
                rubberBand_->show();
            }
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            const QRect plot = plotRect();
            if (drag_ == Drag::Pan && plot.width() > 0) {
                const double share = double(pos.x() - dragStart_.x()) / double(plot.width());
                const qint64 shift = -std::llround(share * double(dragRange_.to - dragRange_.from));
                setView(dragRange_.from + shift, dragRange_.to + shift);
                return true;
            }
            if (drag_ == Drag::Zoom) {
                const int x = std::clamp(pos.x(), plot.left(), plot.right());
                rubberBand_->setGeometry(QRect(QPoint(std::min(x, dragStart_.x()), plot.top()),
                                               QPoint(std::max(x, dragStart_.x()), plot.bottom())));
                return true;
            }
            showReadout(pos);
            return false;
        }
        case QEvent::MouseButtonRelease: {
            if (drag_ == Drag::None) {
                return false;
            }
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            if (drag_ == Drag::Zoom) {
                rubberBand_->hide();
                if (std::abs(pos.x() - dragStart_.x()) >= kMinDragPixels) {
                    const qint64 a = timeAt(dragStart_, true).value_or(0);
                    const qint64 b = timeAt(pos, true).value_or(0);
                    setView(std::min(a, b), std::max(a, b));
                }
            }
            drag_ = Drag::None;
            showReadout(pos);
            return true;
        }
        case QEvent::Leave:
            if (drag_ == Drag::None) {
                hideReadout();
            }
            return false;
        default:
            return false;
    }
}

void TrendPlot::showReadout(const QPoint& viewportPos) {
    const std::optional<qint64> at = timeAt(viewportPos, false);
    if (!at) {
        hideReadout();
        return;
    }
    trend::Nearest nearest;
    if (session_ != nullptr) {
        nearest = trend::nearestTo(session_->series, *at, channel_);
    } else if (points_ != nullptr) {
        nearest = trend::nearestTo(*points_, *at);
    }
    const ColumnView& primary = column(trend::Column::Primary);
    const ColumnView& secondary = column(trend::Column::Secondary);
    emit readoutChanged(
        trend::readoutText(nearest, primary.label, secondary.label, secondary.shown));
    if (nearest.primary.count() == 0) {
        cursorMark_->setVisible(false);
        return;
    }
    // One reading, or the highest of a slice: where a spike is.
    cursorMark_->replace(
        QList<QPointF>{QPointF(double(nearest.primary.maxAt()), nearest.primary.max())});
    cursorMark_->setVisible(true);
}

void TrendPlot::hideReadout() {
    emit readoutChanged(shell::fromLatin1View(kReadoutHint));
    cursorMark_->setVisible(false);
}

}  // namespace vx::forms
