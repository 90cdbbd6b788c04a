#include "Trend.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QSaveFile>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>

#include "Dialogs.h"
#include "ViewText.h"

using namespace std::chrono_literals;

namespace {

// Readings come about once a second; a redraw of a full day of points takes
// a few milliseconds, so four redraws a second at most keep the window smooth.
constexpr auto kRefreshInterval = 250ms;

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

const QColor kPrimaryColour(0x1f, 0x5f, 0xbf);
const QColor kSecondaryColour(0xd0, 0x60, 0x10);

struct StatRow {
    std::string_view name;   // objectName suffix of the value labels
    std::string_view title;  // row title on screen
};

constexpr std::array<StatRow, 8> kStatRows{
    StatRow{.name = "Count", .title = "Count"},
    StatRow{.name = "Gaps", .title = "Gaps"},
    StatRow{.name = "Last", .title = "Last"},
    StatRow{.name = "Minimum", .title = "Minimum"},
    StatRow{.name = "Maximum", .title = "Maximum"},
    StatRow{.name = "Mean", .title = "Mean"},
    StatRow{.name = "StdDev", .title = "Std. deviation"},
    StatRow{.name = "PeakToPeak", .title = "Peak-to-peak"},
};

// Seven significant digits cover the meters' 6.5-digit readings.
QString formatNumber(double value) {
    return QString::number(value, 'g', 7);
}

}  // namespace

Trend::Trend(shell::Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("Trend"));
    setWindowTitle(QStringLiteral("Trend"));
    buildUi();
    connectSignals();
    refreshNow();
}

void Trend::buildUi() {
    chart_ = new QChart;
    chart_->legend()->hide();
    chart_->setMargins(QMargins(4, 4, 4, 4));
    QFont titleFont = chart_->titleFont();
    titleFont.setBold(true);
    chart_->setTitleFont(titleFont);

    TimeAxis = new QDateTimeAxis(chart_);
    TimeAxis->setFormat(QStringLiteral("hh:mm:ss"));
    TimeAxis->setTitleText(QStringLiteral("Time"));
    TimeAxis->setTickCount(7);
    chart_->addAxis(TimeAxis, Qt::AlignBottom);

    const auto makeValueAxis = [this](const QColor& colour, Qt::Alignment side) {
        auto* axis = new QValueAxis(chart_);
        axis->setLabelFormat(QStringLiteral("%.6g"));
        axis->setTickCount(6);
        axis->setTitleBrush(colour);
        axis->setLabelsColor(colour);
        axis->setLinePenColor(colour);
        chart_->addAxis(axis, side);
        return axis;
    };
    PrimaryAxis = makeValueAxis(kPrimaryColour, Qt::AlignLeft);
    SecondaryAxis = makeValueAxis(kSecondaryColour, Qt::AlignRight);
    SecondaryAxis->setGridLineVisible(false);

    TrendChart = new QChartView(chart_, this);
    TrendChart->setObjectName(QStringLiteral("TrendChart"));
    TrendChart->setRenderHint(QPainter::Antialiasing);
    TrendChart->setMinimumSize(520, 320);

    StatsBox = new QGroupBox(QStringLiteral("Statistics"), this);
    StatsBox->setObjectName(QStringLiteral("StatsBox"));
    auto* grid = new QGridLayout(StatsBox);
    grid->setHorizontalSpacing(14);
    PrimaryTitle = new QLabel(StatsBox);
    PrimaryTitle->setObjectName(QStringLiteral("PrimaryTitle"));
    SecondaryTitle = new QLabel(StatsBox);
    SecondaryTitle->setObjectName(QStringLiteral("SecondaryTitle"));
    for (QLabel* title : {PrimaryTitle, SecondaryTitle}) {
        title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QFont font = title->font();
        font.setBold(true);
        title->setFont(font);
    }
    PrimaryTitle->setStyleSheet(QStringLiteral("color: %1").arg(kPrimaryColour.name()));
    SecondaryTitle->setStyleSheet(QStringLiteral("color: %1").arg(kSecondaryColour.name()));
    grid->addWidget(PrimaryTitle, 0, 1);
    grid->addWidget(SecondaryTitle, 0, 2);

    QFont digits = font();
    digits.setFamily(QStringLiteral("monospace"));
    digits.setStyleHint(QFont::TypeWriter);
    for (int row = 0; row < kStatCount; ++row) {
        const StatRow& stat = kStatRows[static_cast<std::size_t>(row)];
        grid->addWidget(new QLabel(shell::fromView(stat.title), StatsBox), row + 1, 0);
        for (auto* values : {&primaryValues_, &secondaryValues_}) {
            auto* label = new QLabel(StatsBox);
            label->setObjectName((values == &primaryValues_ ? QStringLiteral("Primary")
                                                            : QStringLiteral("Secondary")) +
                                 shell::fromView(stat.name));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setFont(digits);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
            (*values)[static_cast<std::size_t>(row)] = label;
            grid->addWidget(label, row + 1, values == &primaryValues_ ? 1 : 2);
        }
    }
    StatsNote = new QLabel(
        QStringLiteral("Count is the number of valid readings. Overloads and replies that are "
                       "not numbers are counted as gaps and left out of the other figures. "
                       "Statistics cover the readings since Clear or since the function "
                       "changed; the plot keeps the last 86,400 readings."),
        StatsBox);
    StatsNote->setObjectName(QStringLiteral("StatsNote"));
    StatsNote->setWordWrap(true);
    QFont small = StatsNote->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    StatsNote->setFont(small);
    grid->addWidget(StatsNote, kStatCount + 1, 0, 1, 3);
    grid->setRowStretch(kStatCount + 2, 1);

    ClearBtn = new QPushButton(QStringLiteral("Clear"), this);
    ClearBtn->setObjectName(QStringLiteral("ClearBtn"));
    SavePlotBtn = new QPushButton(QStringLiteral("Save Plot..."), this);
    SavePlotBtn->setObjectName(QStringLiteral("SavePlotBtn"));
    SaveCsvBtn = new QPushButton(QStringLiteral("Save Points..."), this);
    SaveCsvBtn->setObjectName(QStringLiteral("SaveCsvBtn"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ClearBtn);
    buttons->addStretch(1);
    buttons->addWidget(SavePlotBtn);
    buttons->addWidget(SaveCsvBtn);

    auto* side = new QVBoxLayout;
    side->addWidget(StatsBox, 1);
    side->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(TrendChart, 1);
    layout->addLayout(side);

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshInterval);
    resize(1000, 520);
}

void Trend::connectSignals() {
    connect(refreshTimer_, &QTimer::timeout, this, &Trend::refreshTimer_Timeout);
    connect(ClearBtn, &QPushButton::clicked, this, &Trend::ClearBtn_Click);
    connect(SavePlotBtn, &QPushButton::clicked, this, &Trend::SavePlotBtn_Click);
    connect(SaveCsvBtn, &QPushButton::clicked, this, &Trend::SaveCsvBtn_Click);
}

void Trend::addReading(const QDateTime& when, const QString& reply, bool secondaryOn,
                       const QString& primaryFunction, const QString& primaryUnit,
                       const QString& secondaryUnit) {
    if (!started_ || primaryFunction != primaryFunction_) {
        startNewSeries();
        primaryFunction_ = primaryFunction;
        started_ = true;
    }
    primaryUnit_ = primaryUnit;
    secondaryUnit_ = secondaryUnit;
    secondaryOn_ = secondaryOn;

    const trend::Point point = trend::parseReply(when.toMSecsSinceEpoch(), reply, secondaryOn);
    points_.append(point);
    primaryStats_.add(point.primary);
    if (secondaryOn) {
        secondaryStats_.add(point.secondary);
    }
    scheduleRefresh();
}

void Trend::startNewSeries() {
    points_.clear();
    primaryStats_.clear();
    secondaryStats_.clear();
}

void Trend::scheduleRefresh() {
    if (!refreshTimer_->isActive()) {
        refreshTimer_->start();
    }
}

void Trend::setRefreshInterval(std::chrono::milliseconds interval) {
    refreshTimer_->setInterval(interval);
}

bool Trend::refreshPending() const {
    return refreshTimer_->isActive();
}

const QList<QLineSeries*>& Trend::plotted(trend::Column column) const {
    return column == trend::Column::Primary ? primaryLines_ : secondaryLines_;
}

void Trend::refreshTimer_Timeout() {
    if (isVisible()) {
        refreshNow();
    } else {
        stale_ = true;
    }
}

void Trend::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scheduleRefresh();  // the number of time labels and buckets follows the width
}

void Trend::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_ || refreshPending()) {
        refreshNow();
    }
}

void Trend::refreshNow() {
    refreshTimer_->stop();
    stale_ = false;
    drawPlot();
    showStatistics();
}

void Trend::drawPlot() {
    chart_->setTitle(primaryFunction_);
    PrimaryAxis->setTitleText(trend::columnTitle(QStringLiteral("Primary"), primaryUnit_));
    SecondaryAxis->setTitleText(trend::columnTitle(QStringLiteral("Secondary"), secondaryUnit_));

    qint64 from = QDateTime::currentMSecsSinceEpoch() - kEmptySpanMs;
    qint64 to = from + kEmptySpanMs;
    if (!points_.isEmpty()) {
        const auto [first, last] = std::minmax_element(
            points_.points().begin(), points_.points().end(),
            [](const trend::Point& a, const trend::Point& b) { return a.msecs < b.msecs; });
        from = first->msecs;
        to = std::max(last->msecs, from + kMinSpanMs);
    }
    const int width = static_cast<int>(chart_->plotArea().width());
    const trend::TimeTicks ticks =
        trend::timeTicks(from, to, QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc(),
                         std::clamp(width / kTimeLabelWidth, kMinTimeTicks, kMaxTimeTicks));
    // Readings spread over more than a day (single readings, or a clock set
    // forward) need the date; a day of continuous readings does not.
    TimeAxis->setFormat(to - from > kDayMs ? QStringLiteral("MM/dd hh:mm")
                                           : QStringLiteral("hh:mm:ss"));
    TimeAxis->setTickCount(ticks.count);
    TimeAxis->setRange(QDateTime::fromMSecsSinceEpoch(ticks.from),
                       QDateTime::fromMSecsSinceEpoch(ticks.to));

    const int buckets = std::clamp(width / 2, kMinBuckets, kMaxBuckets);
    drawColumn(trend::Column::Primary, primaryLines_, PrimaryAxis, kPrimaryColour, true, buckets);
    drawColumn(trend::Column::Secondary, secondaryLines_, SecondaryAxis, kSecondaryColour,
               secondaryOn_, buckets);
}

void Trend::drawColumn(trend::Column column, QList<QLineSeries*>& pool, QValueAxis* axis,
                       const QColor& colour, bool shown, int buckets) {
    QList<QList<QPointF>> runs;
    if (shown) {
        runs = trend::decimate(points_, column, buckets);
    }
    axis->setVisible(shown);

    // Qt Charts draws one unbroken line per series, so every run between two
    // gaps is a series of its own; the series are reused from one redraw to
    // the next.
    while (pool.size() > runs.size()) {
        QLineSeries* series = pool.takeLast();
        chart_->removeSeries(series);
        delete series;
    }
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        if (i == pool.size()) {
            auto* series = new QLineSeries;
            QPen pen(colour);
            pen.setWidthF(1.5);
            series->setPen(pen);
            series->setColor(colour);
            series->setMarkerSize(5.0);
            chart_->addSeries(series);
            series->attachAxis(TimeAxis);
            series->attachAxis(axis);
            pool.append(series);
        }
        // A lone reading between gaps has no line to draw; its marker shows it.
        pool[i]->setPointsVisible(runs[i].size() == 1);
        pool[i]->replace(runs[i]);
        for (const QPointF& p : runs[i]) {
            low = std::min(low, p.y());
            high = std::max(high, p.y());
        }
    }

    if (runs.isEmpty()) {
        axis->setRange(0.0, 1.0);
        return;
    }
    double margin = (high - low) * 0.05;
    if (margin <= 0.0) {
        margin = std::max(std::fabs(high) * 1e-3, 1e-9);
    }
    axis->setRange(low - margin, high + margin);
    axis->applyNiceNumbers();
}

QString Trend::statText(const TrendStats& stats, Stat stat, const QString& unit) const {
    const auto withUnit = [&](double value) {
        if (std::isnan(value)) {
            return QStringLiteral("-");
        }
        return unit.isEmpty() ? formatNumber(value) : formatNumber(value) + QLatin1Char(' ') + unit;
    };
    switch (stat) {
        case Stat::Count:
            return QString::number(stats.count());
        case Stat::Gaps:
            return QString::number(stats.gaps());
        case Stat::Last:
            return withUnit(stats.last());
        case Stat::Minimum:
            return withUnit(stats.min());
        case Stat::Maximum:
            return withUnit(stats.max());
        case Stat::Mean:
            return withUnit(stats.mean());
        case Stat::StdDev:
            return withUnit(stats.stdDev());
        case Stat::PeakToPeak:
            return withUnit(stats.peakToPeak());
    }
    return {};
}

void Trend::showStatistics() {
    PrimaryTitle->setText(trend::columnTitle(QStringLiteral("Primary"), primaryUnit_));
    SecondaryTitle->setText(trend::columnTitle(QStringLiteral("Secondary"), secondaryUnit_));
    const bool secondaryShown =
        secondaryOn_ || secondaryStats_.count() + secondaryStats_.gaps() > 0;
    SecondaryTitle->setVisible(secondaryShown);
    for (int row = 0; row < kStatCount; ++row) {
        const auto stat = static_cast<Stat>(row);
        const auto index = static_cast<std::size_t>(row);
        primaryValues_[index]->setText(statText(primaryStats_, stat, primaryUnit_));
        secondaryValues_[index]->setText(statText(secondaryStats_, stat, secondaryUnit_));
        secondaryValues_[index]->setVisible(secondaryShown);
    }
}

void Trend::ClearBtn_Click() {
    startNewSeries();
    refreshNow();
}

bool Trend::writeFile(const QString& path, const QByteArray& bytes, QString& error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

void Trend::reportSaveError(const QString& what, const QString& path, const QString& error) {
    dialogs_.message(this,
                     QStringLiteral("The %1 could not be saved to %2: %3").arg(what, path, error),
                     QStringLiteral("Save Error"), shell::Dialogs::Icon::Critical);
}

void Trend::SavePlotBtn_Click() {
    const std::optional<QString> path = dialogs_.saveFileName(
        this,
        shell::SaveFileRequest{.title = QStringLiteral("Save Plot As"),
                               .filter = QStringLiteral("PNG(*.png)|*.png|All Files(*.*)|*.*"),
                               .initialDir = QString(),
                               .fileName = QStringLiteral("trend.png"),
                               .confirmOverwrite = true});
    if (!path) {
        return;
    }
    refreshNow();
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!TrendChart->grab().save(&buffer, "PNG")) {
            reportSaveError(QStringLiteral("plot"), *path,
                            QStringLiteral("the image could not be encoded"));
            return;
        }
    }
    QString error;
    if (!writeFile(*path, png, error)) {
        reportSaveError(QStringLiteral("plot"), *path, error);
    }
}

void Trend::SaveCsvBtn_Click() {
    const std::optional<QString> path = dialogs_.saveFileName(
        this,
        shell::SaveFileRequest{
            .title = QStringLiteral("Save Points As"),
            .filter = QStringLiteral("CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*"),
            .initialDir = QString(),
            .fileName = QStringLiteral("trend.csv"),
            .confirmOverwrite = true});
    if (!path) {
        return;
    }
    QString error;
    if (!writeFile(*path, trend::csvText(points_, primaryUnit_, secondaryUnit_), error)) {
        reportSaveError(QStringLiteral("points"), *path, error);
    }
}
