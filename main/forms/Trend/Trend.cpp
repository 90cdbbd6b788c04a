#include "forms/Trend/Trend.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QRubberBand>
#include <QSaveFile>
#include <QScatterSeries>
#include <QShortcut>
#include <QShowEvent>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>

#include "log/DataLog.h"
#include "logread/LogFile.h"
#include "shell/Dialogs.h"
#include "shell/Latin1View.h"

namespace vx::forms {

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
constexpr auto kProgressInterval = 100ms;
constexpr int kProgressSteps = 1000;

const QColor kPrimaryColour(0x1f, 0x5f, 0xbf);
const QColor kSecondaryColour(0xd0, 0x60, 0x10);

struct SpanChoice {
    std::string_view item;
    qint64 ms;  // 0: from the first reading
};

// In the order of Trend::Span.
constexpr std::array kSpans{
    SpanChoice{.item = "1 minute", .ms = 60'000},
    SpanChoice{.item = "10 minutes", .ms = 600'000},
    SpanChoice{.item = "1 hour", .ms = 3'600'000},
    SpanChoice{.item = "All", .ms = 0},
};

constexpr std::array<std::string_view, 2> kStatsRanges{"Whole series", "Visible span"};

constexpr std::string_view kReadoutHint =
    "Wheel: zoom    Drag: pan    Right-drag or Shift+drag: zoom to a span    Esc: follow";
constexpr std::string_view kGapNote =
    "Count is the number of valid readings. Overloads and replies that are not numbers are "
    "counted as gaps and left out of the other figures.";
constexpr std::string_view kLiveNote =
    " Statistics of the whole series cover the readings since Clear or since the function "
    "changed; the plot keeps the last 86,400 readings.";
constexpr std::string_view kLogFilter =
    "CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*";

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

struct Trend::LoadJob {
    QString path;
    logread::LoadProgress progress;
    logread::LogLoad result;
};

struct Trend::ShownLog {
    QString path;
    logread::LogContents contents;
    int session = 0;
};

Trend::Trend(shell::Dialogs& dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("Trend"));
    setWindowTitle(QStringLiteral("Trend"));
    openDialog_ = [](QWidget* parent) -> std::optional<QString> {
        const QString path = QFileDialog::getOpenFileName(
            parent, QStringLiteral("Open Log"), shell::existingDirOrDocuments(QString()),
            shell::qtFileFilter(shell::fromLatin1View(kLogFilter)));
        if (path.isEmpty()) {
            return std::nullopt;
        }
        return path;
    };
    buildUi();
    connectSignals();
    refreshNow();
}

Trend::~Trend() {
    if (loader_ != nullptr) {
        job_->progress.cancel = true;
        loader_->wait();
        delete loader_;
    }
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

    // The reading under the mouse, marked on the plot.
    cursorMark_ = new QScatterSeries;
    cursorMark_->setMarkerSize(10.0);
    cursorMark_->setColor(Qt::transparent);
    cursorMark_->setBorderColor(Qt::black);
    chart_->addSeries(cursorMark_);
    cursorMark_->attachAxis(TimeAxis);
    cursorMark_->attachAxis(PrimaryAxis);
    cursorMark_->setVisible(false);

    TrendChart = new QChartView(chart_, this);
    TrendChart->setObjectName(QStringLiteral("TrendChart"));
    TrendChart->setRenderHint(QPainter::Antialiasing);
    TrendChart->setMinimumSize(520, 320);
    TrendChart->setFocusPolicy(Qt::StrongFocus);
    TrendChart->setContextMenuPolicy(Qt::NoContextMenu);
    TrendChart->viewport()->setMouseTracking(true);
    rubberBand_ = new QRubberBand(QRubberBand::Rectangle, TrendChart->viewport());

    const auto makeButton = [this](const char* name, const QString& caption) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        return button;
    };
    const auto makeList = [this](const char* name, auto items) {
        auto* list = new QComboBox(this);
        list->setObjectName(QLatin1String(name));
        for (const auto& item : items) {
            list->addItem(shell::fromLatin1View(item));
        }
        return list;
    };
    const auto makeLabel = [this](const QString& caption, QWidget* buddy) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(buddy);
        return label;
    };

    OpenLogBtn = makeButton("OpenLogBtn", QStringLiteral("&Open Log..."));
    OpenLogBtn->setToolTip(QStringLiteral("Show the readings of a log file"));
    LiveBtn = makeButton("LiveBtn", QStringLiteral("&Live"));
    LiveBtn->setToolTip(QStringLiteral("Show the readings of this session again"));
    SessionBox = new QComboBox(this);
    SessionBox->setObjectName(QStringLiteral("SessionBox"));
    SessionBox->setMinimumContentsLength(28);
    SessionBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    SessionBox->setToolTip(QStringLiteral("Sessions of the log file, by header and start time"));
    std::array<std::string_view, kSpans.size()> spanItems{};
    std::transform(kSpans.begin(), kSpans.end(), spanItems.begin(),
                   [](const SpanChoice& choice) { return choice.item; });
    SpanBox = makeList("SpanBox", spanItems);
    SpanBox->setCurrentIndex(static_cast<int>(span_));
    SpanBox->setToolTip(QStringLiteral("How much time the plot shows while it follows"));
    FollowBtn = makeButton("FollowBtn", QStringLiteral("&Follow"));
    FollowBtn->setToolTip(QStringLiteral("Follow the newest reading again (Esc)"));

    auto* top = new QHBoxLayout;
    top->addWidget(OpenLogBtn);
    top->addWidget(LiveBtn);
    top->addWidget(makeLabel(QStringLiteral("&Session:"), SessionBox));
    top->addWidget(SessionBox, 1);
    top->addWidget(makeLabel(QStringLiteral("S&pan:"), SpanBox));
    top->addWidget(SpanBox);
    top->addWidget(FollowBtn);

    Readout = new QLabel(shell::fromLatin1View(kReadoutHint), this);
    Readout->setObjectName(QStringLiteral("Readout"));
    Readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Readout->setMinimumWidth(200);
    // Room for two lines, so a long readout wraps without moving the plot.
    Readout->setWordWrap(true);
    Readout->setMinimumHeight(Readout->fontMetrics().lineSpacing() * 2 + 2);
    Readout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LogNote = new QLabel(this);
    LogNote->setObjectName(QStringLiteral("LogNote"));
    LogNote->setWordWrap(true);
    LogNote->setStyleSheet(QStringLiteral("color: #a04000"));
    LogNote->hide();
    LoadBar = new QProgressBar(this);
    LoadBar->setObjectName(QStringLiteral("LoadBar"));
    LoadBar->setRange(0, kProgressSteps);
    CancelLoadBtn = makeButton("CancelLoadBtn", QStringLiteral("&Cancel"));
    CancelLoadBtn->setToolTip(QStringLiteral("Stop reading the log file"));
    auto* loadRow = new QHBoxLayout;
    loadRow->addWidget(LoadBar, 1);
    loadRow->addWidget(CancelLoadBtn);

    auto* plotColumn = new QVBoxLayout;
    plotColumn->addLayout(top);
    plotColumn->addWidget(TrendChart, 1);
    plotColumn->addWidget(Readout);
    plotColumn->addWidget(LogNote);
    plotColumn->addLayout(loadRow);

    StatsBox = new QGroupBox(QStringLiteral("Statistics"), this);
    StatsBox->setObjectName(QStringLiteral("StatsBox"));
    auto* grid = new QGridLayout(StatsBox);
    grid->setHorizontalSpacing(14);
    StatsRangeBox = makeList("StatsRangeBox", kStatsRanges);
    StatsRangeBox->setParent(StatsBox);
    StatsRangeBox->setToolTip(
        QStringLiteral("Figures of the whole series, or of the readings the plot shows"));
    auto* rangeLabel = new QLabel(QStringLiteral("Figures &cover:"), StatsBox);
    rangeLabel->setBuddy(StatsRangeBox);
    grid->addWidget(rangeLabel, 0, 0);
    grid->addWidget(StatsRangeBox, 0, 1, 1, 2);
    StatsScope = new QLabel(StatsBox);
    StatsScope->setObjectName(QStringLiteral("StatsScope"));
    StatsScope->setWordWrap(true);
    grid->addWidget(StatsScope, 1, 0, 1, 3);

    constexpr int kFirstRow = 2;
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
    grid->addWidget(PrimaryTitle, kFirstRow, 1);
    grid->addWidget(SecondaryTitle, kFirstRow, 2);

    QFont digits = font();
    digits.setFamily(QStringLiteral("monospace"));
    digits.setStyleHint(QFont::TypeWriter);
    for (int row = 0; row < kStatCount; ++row) {
        const StatRow& stat = kStatRows[static_cast<std::size_t>(row)];
        grid->addWidget(new QLabel(shell::fromLatin1View(stat.title), StatsBox),
                        kFirstRow + row + 1, 0);
        for (auto* values : {&primaryValues_, &secondaryValues_}) {
            auto* label = new QLabel(StatsBox);
            label->setObjectName((values == &primaryValues_ ? QStringLiteral("Primary")
                                                            : QStringLiteral("Secondary")) +
                                 shell::fromLatin1View(stat.name));
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            label->setFont(digits);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 17);
            (*values)[static_cast<std::size_t>(row)] = label;
            grid->addWidget(label, kFirstRow + row + 1, values == &primaryValues_ ? 1 : 2);
        }
    }
    StatsNote = new QLabel(StatsBox);
    StatsNote->setObjectName(QStringLiteral("StatsNote"));
    StatsNote->setWordWrap(true);
    QFont small = StatsNote->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    StatsNote->setFont(small);
    // Wrapped texts that change: room for the longest, so nothing is cut.
    StatsNote->setMinimumHeight(QFontMetrics(small).lineSpacing() * 5);
    StatsNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    StatsScope->setMinimumHeight(StatsScope->fontMetrics().lineSpacing() * 2);
    StatsScope->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(StatsNote, kFirstRow + kStatCount + 1, 0, 1, 3);
    grid->setRowStretch(kFirstRow + kStatCount + 2, 1);
    // The wrapped notes take the width the figures need; the panel keeps it
    // whatever the plot side shows.
    StatsBox->setMinimumWidth(grid->minimumSize().width() + 8);

    ClearBtn = makeButton("ClearBtn", QStringLiteral("Clear"));
    SavePlotBtn = makeButton("SavePlotBtn", QStringLiteral("Save Plot..."));
    SaveCsvBtn = makeButton("SaveCsvBtn", QStringLiteral("Save Points..."));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ClearBtn);
    buttons->addStretch(1);
    buttons->addWidget(SavePlotBtn);
    buttons->addWidget(SaveCsvBtn);

    auto* side = new QVBoxLayout;
    side->addWidget(StatsBox, 1);
    side->addLayout(buttons);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(plotColumn, 1);
    layout->addLayout(side);

    // Keyboard order: the file and view controls, the plot, the statistics,
    // then the buttons under them.
    const std::array<QWidget*, 11> order{OpenLogBtn, LiveBtn,     SessionBox,    SpanBox,
                                         FollowBtn,  TrendChart,  CancelLoadBtn, StatsRangeBox,
                                         ClearBtn,   SavePlotBtn, SaveCsvBtn};
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshInterval);
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(kProgressInterval);
    showLoadControls(false);
    resize(1100, 560);
}

void Trend::connectSignals() {
    connect(refreshTimer_, &QTimer::timeout, this, &Trend::refreshTimer_Timeout);
    connect(progressTimer_, &QTimer::timeout, this, &Trend::progressTimer_Timeout);
    connect(ClearBtn, &QPushButton::clicked, this, &Trend::ClearBtn_Click);
    connect(SavePlotBtn, &QPushButton::clicked, this, &Trend::SavePlotBtn_Click);
    connect(SaveCsvBtn, &QPushButton::clicked, this, &Trend::SaveCsvBtn_Click);
    connect(OpenLogBtn, &QPushButton::clicked, this, &Trend::OpenLogBtn_Click);
    connect(LiveBtn, &QPushButton::clicked, this, &Trend::LiveBtn_Click);
    connect(FollowBtn, &QPushButton::clicked, this, &Trend::FollowBtn_Click);
    connect(CancelLoadBtn, &QPushButton::clicked, this, &Trend::CancelLoadBtn_Click);
    connect(SessionBox, &QComboBox::activated, this, &Trend::SessionBox_Change);
    connect(SpanBox, &QComboBox::activated, this, &Trend::SpanBox_Change);
    connect(StatsRangeBox, &QComboBox::activated, this, &Trend::StatsRangeBox_Change);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &Trend::FollowBtn_Click);
    TrendChart->installEventFilter(this);
    TrendChart->viewport()->installEventFilter(this);
}

void Trend::setOpenDialog(OpenDialog dialog) {
    openDialog_ = std::move(dialog);
}

void Trend::addReading(const QDateTime& when, const meter::Reading& reading) {
    if (!started_ || reading.measure.function != primaryFunction_) {
        startNewSeries();
        primaryFunction_ = reading.measure.function;
        started_ = true;
    }
    primaryUnit_ = reading.measure.primaryUnit;
    secondaryUnit_ = reading.measure.secondaryUnit;
    secondaryOn_ = reading.secondary.has_value();

    const trend::Point point = trend::pointOf(when.toMSecsSinceEpoch(), reading);
    points_.append(point);
    primaryStats_.add(point.primary);
    if (secondaryOn_) {
        secondaryStats_.add(point.secondary);
    }
    // While a log file is shown the readings are kept, and drawn on Live.
    if (log_ == nullptr) {
        scheduleRefresh();
    }
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
    LiveBtn->setEnabled(log_ != nullptr);
    SessionBox->setEnabled(log_ != nullptr);
    ClearBtn->setEnabled(log_ == nullptr);
    SaveCsvBtn->setEnabled(log_ == nullptr);
    OpenLogBtn->setEnabled(loader_ == nullptr);
    FollowBtn->setEnabled(!following_);
}

const logread::Session* Trend::shownSession() const {
    if (log_ == nullptr || log_->session < 0 ||
        std::size_t(log_->session) >= log_->contents.sessions.size()) {
        return nullptr;
    }
    return &log_->contents.sessions[std::size_t(log_->session)];
}

trend::ColumnLabel Trend::label(trend::Column column) const {
    const bool primary = column == trend::Column::Primary;
    if (log_ == nullptr) {
        return {.name = primary ? QStringLiteral("Primary") : QStringLiteral("Secondary"),
                .unit = primary ? primaryUnit_ : secondaryUnit_};
    }
    // "DC Voltage(V),Frequency(Hz)": one title per column.
    const logread::Session* session = shownSession();
    const QString header =
        session != nullptr ? QString::fromLatin1(session->header.c_str()) : QString();
    const qsizetype comma = header.indexOf(QLatin1Char(','));
    const QString title =
        primary ? header.left(comma) : (comma < 0 ? QString() : header.mid(comma + 1));
    if (title.trimmed().isEmpty()) {
        return {.name = primary ? QStringLiteral("Primary") : QStringLiteral("Secondary"),
                .unit = QString()};
    }
    return trend::headerLabel(title);
}

bool Trend::columnShown(trend::Column column) const {
    if (column == trend::Column::Primary) {
        return true;
    }
    if (log_ != nullptr) {
        const logread::Session* session = shownSession();
        return session != nullptr && session->hasSecondary;
    }
    return secondaryOn_;
}

std::optional<Trend::TimeRange> Trend::dataRange() const {
    if (log_ != nullptr) {
        const logread::Session* session = shownSession();
        if (session == nullptr || session->series.buckets().empty()) {
            return std::nullopt;
        }
        const auto& buckets = session->series.buckets();
        const qint64 width = session->series.width();
        return TimeRange{.from = buckets.front().index * width,
                         .to = buckets.back().index * width + width - logread::kStampResolutionMs};
    }
    if (points_.isEmpty()) {
        return std::nullopt;
    }
    const auto [first, last] = std::minmax_element(
        points_.points().begin(), points_.points().end(),
        [](const trend::Point& a, const trend::Point& b) { return a.msecs < b.msecs; });
    return TimeRange{.from = first->msecs, .to = last->msecs};
}

Trend::TimeRange Trend::wantedRange() const {
    if (!following_) {
        return {.from = viewFrom_, .to = viewTo_};
    }
    const std::optional<TimeRange> data = dataRange();
    if (!data) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        return {.from = now - kEmptySpanMs, .to = now};
    }
    const qint64 span = kSpans[static_cast<std::size_t>(span_)].ms;
    if (span == 0) {
        return {.from = data->from, .to = std::max(data->to, data->from + kMinSpanMs)};
    }
    return {.from = data->to - span, .to = data->to};
}

Trend::TimeRange Trend::visibleRange() const {
    return {.from = TimeAxis->min().toMSecsSinceEpoch(), .to = TimeAxis->max().toMSecsSinceEpoch()};
}

void Trend::drawPlot() {
    const logread::Session* session = shownSession();
    if (log_ != nullptr) {
        const QString header = session != nullptr && !session->header.empty()
                                   ? QString::fromLatin1(session->header.c_str())
                                   : QStringLiteral("No header");
        chart_->setTitle(QStringLiteral("%1 (%2, session %3 of %4)")
                             .arg(header, QFileInfo(log_->path).fileName())
                             .arg(log_->session + 1)
                             .arg(log_->contents.sessions.size()));
    } else {
        chart_->setTitle(primaryFunction_);
    }
    const auto axisTitle = [this](trend::Column column) {
        const trend::ColumnLabel l = label(column);
        return log_ != nullptr ? l.name : trend::columnTitle(l.name, l.unit);
    };
    PrimaryAxis->setTitleText(axisTitle(trend::Column::Primary));
    SecondaryAxis->setTitleText(axisTitle(trend::Column::Secondary));

    const int width = static_cast<int>(chart_->plotArea().width());
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
    TimeAxis->setFormat(range.to - range.from > kDayMs ? QStringLiteral("MM/dd hh:mm")
                                                       : QStringLiteral("hh:mm:ss"));
    TimeAxis->setTickCount(tickCount);
    TimeAxis->setRange(QDateTime::fromMSecsSinceEpoch(range.from),
                       QDateTime::fromMSecsSinceEpoch(range.to));

    const int buckets = std::clamp(width / 2, kMinBuckets, kMaxBuckets);
    drawColumn(trend::Column::Primary, primaryLines_, PrimaryAxis, kPrimaryColour,
               columnShown(trend::Column::Primary), buckets);
    drawColumn(trend::Column::Secondary, secondaryLines_, SecondaryAxis, kSecondaryColour,
               columnShown(trend::Column::Secondary), buckets);
}

void Trend::drawColumn(trend::Column column, QList<QLineSeries*>& pool, QValueAxis* axis,
                       const QColor& colour, bool shown, int buckets) {
    const TimeRange range = visibleRange();
    QList<QList<QPointF>> runs;
    if (shown) {
        const logread::Session* session = shownSession();
        const std::vector<trend::Extent> extents =
            log_ != nullptr ? (session != nullptr
                                   ? trend::extentsOf(session->series, column, range.from, range.to)
                                   : std::vector<trend::Extent>{})
                            : trend::extentsOf(points_, column, range.from, range.to);
        runs = trend::reduce(extents, buckets);
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
    // The scale fits the readings inside the span; the neighbours outside it
    // only carry the line to the edges, unless there is nothing else.
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    double outsideLow = low;
    double outsideHigh = high;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        if (i == pool.size()) {
            auto* series = new QLineSeries;
            QPen pen(colour);
            pen.setWidthF(1.0);
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
    const logread::Session* session = shownSession();
    const TimeRange range = visibleRange();
    const auto figures = [&](trend::Column column) -> TrendStats {
        const bool primary = column == trend::Column::Primary;
        if (!statsVisibleOnly_) {
            if (log_ != nullptr) {
                return session == nullptr ? TrendStats{}
                                          : (primary ? session->primary : session->secondary);
            }
            return primary ? primaryStats_ : secondaryStats_;
        }
        if (log_ != nullptr) {
            return session == nullptr
                       ? TrendStats{}
                       : trend::statsOf(session->series, column, range.from, range.to);
        }
        return trend::statsOf(points_, column, range.from, range.to);
    };
    const TrendStats primary = figures(trend::Column::Primary);
    const TrendStats secondary = figures(trend::Column::Secondary);
    const trend::ColumnLabel primaryLabel = label(trend::Column::Primary);
    const trend::ColumnLabel secondaryLabel = label(trend::Column::Secondary);

    PrimaryTitle->setText(log_ != nullptr
                              ? primaryLabel.name
                              : trend::columnTitle(primaryLabel.name, primaryLabel.unit));
    SecondaryTitle->setText(log_ != nullptr
                                ? secondaryLabel.name
                                : trend::columnTitle(secondaryLabel.name, secondaryLabel.unit));
    const bool secondaryShown = columnShown(trend::Column::Secondary) ||
                                (log_ == nullptr && secondary.count() + secondary.gaps() > 0);
    SecondaryTitle->setVisible(secondaryShown);
    for (int row = 0; row < kStatCount; ++row) {
        const auto stat = static_cast<Stat>(row);
        const auto index = static_cast<std::size_t>(row);
        primaryValues_[index]->setText(statText(primary, stat, primaryLabel.unit));
        secondaryValues_[index]->setText(statText(secondary, stat, secondaryLabel.unit));
        secondaryValues_[index]->setVisible(secondaryShown);
    }

    QString scope;
    if (statsVisibleOnly_) {
        scope = QStringLiteral("The readings from %1 to %2.")
                    .arg(log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(range.from)),
                         log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(range.to)));
        if (session != nullptr && session->series.width() > logread::kStampResolutionMs) {
            scope += QStringLiteral(
                         " The file is kept in slices of %1 s; slices at the edges "
                         "count whole.")
                         .arg(session->series.width() / 1000);
        }
    } else if (log_ != nullptr) {
        scope = QStringLiteral("The whole session %1 of %2.")
                    .arg(log_->session + 1)
                    .arg(QFileInfo(log_->path).fileName());
    } else {
        scope = QStringLiteral("All readings since Clear or since the function changed.");
    }
    StatsScope->setText(scope);
    StatsNote->setText(shell::fromLatin1View(kGapNote) +
                       (log_ == nullptr ? shell::fromLatin1View(kLiveNote) : QString()));
}

void Trend::stopFollowing() {
    if (following_) {
        const TimeRange range = visibleRange();
        viewFrom_ = range.from;
        viewTo_ = range.to;
        following_ = false;
    }
}

void Trend::setView(qint64 from, qint64 to) {
    if (to - from < kMinZoomMs) {
        const qint64 middle = from + (to - from) / 2;
        from = middle - kMinZoomMs / 2;
        to = from + kMinZoomMs;
    }
    following_ = false;
    viewFrom_ = from;
    viewTo_ = std::min(to, from + kMaxZoomMs);
    refreshNow();
}

void Trend::zoomAround(qint64 anchor, double factor) {
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

void Trend::panBy(double plotWidths) {
    stopFollowing();
    const TimeRange range = visibleRange();
    const qint64 shift = std::llround(double(range.to - range.from) * plotWidths);
    setView(range.from + shift, range.to + shift);
}

QRect Trend::plotRect() const {
    const QRectF scene = chart_->mapRectToScene(chart_->plotArea());
    return TrendChart->mapFromScene(scene).boundingRect();
}

std::optional<qint64> Trend::timeAt(const QPoint& viewportPos, bool clampToPlot) const {
    const QRect plot = plotRect();
    if (plot.width() <= 0 || (!clampToPlot && !plot.contains(viewportPos))) {
        return std::nullopt;
    }
    const int x = std::clamp(viewportPos.x(), plot.left(), plot.right());
    const TimeRange range = visibleRange();
    const double share = double(x - plot.left()) / double(plot.width());
    return range.from + std::llround(share * double(range.to - range.from));
}

bool Trend::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TrendChart && event->type() == QEvent::KeyPress) {
        return plotKey(static_cast<QKeyEvent*>(event)->key()) ||
               QWidget::eventFilter(watched, event);
    }
    if (watched == TrendChart->viewport() && plotMouse(event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool Trend::plotKey(int key) {
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

bool Trend::plotMouse(QEvent* event) {
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
            TrendChart->setFocus(Qt::MouseFocusReason);
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

void Trend::showReadout(const QPoint& viewportPos) {
    const std::optional<qint64> at = timeAt(viewportPos, false);
    if (!at) {
        hideReadout();
        return;
    }
    const logread::Session* session = shownSession();
    const trend::Nearest nearest =
        log_ != nullptr
            ? (session != nullptr ? trend::nearestTo(session->series, *at) : trend::Nearest{})
            : trend::nearestTo(points_, *at);
    Readout->setText(trend::readoutText(nearest, label(trend::Column::Primary),
                                        label(trend::Column::Secondary),
                                        columnShown(trend::Column::Secondary)));
    if (nearest.primary.count() == 0) {
        cursorMark_->setVisible(false);
        return;
    }
    // One reading, or the highest of a slice: where a spike is.
    cursorMark_->replace(
        QList<QPointF>{QPointF(double(nearest.primary.maxAt()), nearest.primary.max())});
    cursorMark_->setVisible(true);
}

void Trend::hideReadout() {
    Readout->setText(shell::fromLatin1View(kReadoutHint));
    cursorMark_->setVisible(false);
}

void Trend::FollowBtn_Click() {
    following_ = true;
    refreshNow();
}

void Trend::SpanBox_Change(int index) {
    if (index < 0 || std::size_t(index) >= kSpans.size()) {
        return;
    }
    span_ = static_cast<Span>(index);
    FollowBtn_Click();
}

void Trend::StatsRangeBox_Change(int index) {
    statsVisibleOnly_ = index == 1;
    showStatistics();
}

void Trend::OpenLogBtn_Click() {
    if (const std::optional<QString> path = openDialog_(this)) {
        openLog(*path);
    }
}

void Trend::openLog(const QString& path) {
    if (loader_ != nullptr) {
        return;
    }
    job_ = std::make_shared<LoadJob>();
    job_->path = path;
    // The thread reads the file and fills the job; the window looks at the
    // job's progress on a timer and takes the result when the thread ends.
    loader_ = QThread::create(
        [job = job_] { job->result = logread::readLogFile(job->path, &job->progress); });
    connect(loader_, &QThread::finished, this, &Trend::loader_Finished);
    LogNote->setText(QStringLiteral("Reading %1...").arg(QFileInfo(path).fileName()));
    LogNote->show();
    showLoadControls(true);
    progressTimer_->start();
    loader_->start();
}

void Trend::showLoadControls(bool loading) {
    LoadBar->setValue(0);
    LoadBar->setVisible(loading);
    CancelLoadBtn->setVisible(loading);
    OpenLogBtn->setEnabled(!loading);
}

void Trend::progressTimer_Timeout() {
    if (job_ == nullptr) {
        return;
    }
    const qint64 total = job_->progress.total;
    const qint64 done = job_->progress.done;
    LoadBar->setValue(total > 0 ? int(done * kProgressSteps / total) : 0);
}

void Trend::CancelLoadBtn_Click() {
    if (job_ != nullptr) {
        job_->progress.cancel = true;
    }
}

void Trend::loader_Finished() {
    progressTimer_->stop();
    loader_->wait();
    loader_->deleteLater();
    loader_ = nullptr;
    const std::shared_ptr<LoadJob> job = std::move(job_);
    showLoadControls(false);
    const QString name = QFileInfo(job->path).fileName();
    logread::LogLoad& load = job->result;
    switch (load.outcome) {
        case logread::LoadOutcome::Canceled:
            LogNote->setText(QStringLiteral("Reading %1 was canceled.").arg(name));
            break;
        case logread::LoadOutcome::Read:
            log_ = std::make_unique<ShownLog>(
                ShownLog{.path = job->path, .contents = std::move(load.contents), .session = 0});
            LogNote->setText(logread::skippedText(log_->contents));
            showSessions();
            break;
        default:
            LogNote->clear();
            dialogs_.message(this, logread::problemText(load, job->path),
                             QStringLiteral("Open Log"), shell::Dialogs::Icon::Exclamation);
            break;
    }
    LogNote->setVisible(!LogNote->text().isEmpty());
    refreshNow();
}

void Trend::showSessions() {
    SessionBox->clear();
    int number = 0;
    for (const logread::Session& session : log_->contents.sessions) {
        const QString header = session.header.empty() ? QStringLiteral("No header")
                                                      : QString::fromLatin1(session.header.c_str());
        const QString start =
            session.readings == 0
                ? QStringLiteral("no readings")
                : QStringLiteral("from %1, %2 readings")
                      .arg(log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(session.firstAt)))
                      .arg(session.readings);
        SessionBox->addItem(QStringLiteral("%1: %2, %3").arg(++number).arg(header, start));
    }
    // The last session is the latest run.
    const int last = SessionBox->count() - 1;
    SessionBox->setCurrentIndex(last);
    SessionBox_Change(last);
}

void Trend::SessionBox_Change(int index) {
    if (log_ == nullptr || index < 0 || std::size_t(index) >= log_->contents.sessions.size()) {
        return;
    }
    log_->session = index;
    hideReadout();
    FollowBtn_Click();
}

void Trend::LiveBtn_Click() {
    log_.reset();
    SessionBox->clear();
    LogNote->clear();
    LogNote->hide();
    hideReadout();
    FollowBtn_Click();
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

}  // namespace vx::forms
