// The Trend window's start state and wiring. Its layout, captions, tool tips,
// list items, alignments and tab order are in the form Trend.ui; set here is
// what a form cannot say.

#include <QFont>
#include <QFontMetrics>
#include <QShortcut>
#include <QTimer>

#include <chrono>

#include "forms/Trend/Trend.h"
#include "forms/Trend/TrendLoader.h"

namespace vx::forms {

using namespace std::chrono_literals;

namespace {

// Readings come about once a second; a redraw of a full day of points takes
// a few milliseconds, so four redraws a second at most keep the window smooth.
constexpr auto kRefreshInterval = 250ms;

}  // namespace

// Sizes that follow from the fonts, the columns' colours, the span the plot
// starts with.
void Trend::buildUi() {
    setWindowFlag(Qt::Window);
    setupUi(this);
    SpanBox->setCurrentIndex(static_cast<int>(span_));
    TrendChart->setSpan(kSpanMs[static_cast<std::size_t>(span_)]);

    // Room for two lines, so a long readout wraps without moving the plot.
    Readout->setMinimumHeight(Readout->fontMetrics().lineSpacing() * 2 + 2);
    LogNote->hide();
    ChannelLabel->hide();
    ChannelBox->hide();
    LoadBar->setRange(0, TrendLoader::kProgressSteps);

    PrimaryTitle->setStyleSheet(
        QStringLiteral("color: %1").arg(TrendPlot::colour(trend::Column::Primary).name()));
    SecondaryTitle->setStyleSheet(
        QStringLiteral("color: %1").arg(TrendPlot::colour(trend::Column::Secondary).name()));
    // In the order of Stat.
    primaryValues_ = {PrimaryCount,   PrimaryGaps, PrimaryLast,   PrimaryMinimum,
                      PrimaryMaximum, PrimaryMean, PrimaryStdDev, PrimaryPeakToPeak};
    secondaryValues_ = {SecondaryCount,   SecondaryGaps, SecondaryLast,   SecondaryMinimum,
                        SecondaryMaximum, SecondaryMean, SecondaryStdDev, SecondaryPeakToPeak};
    QFont digits = font();
    digits.setFamily(QStringLiteral("monospace"));
    digits.setStyleHint(QFont::TypeWriter);
    for (const auto* values : {&primaryValues_, &secondaryValues_}) {
        for (QLabel* label : *values) {
            label->setFont(digits);
            label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 17);
        }
    }
    QFont small = StatsNote->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    StatsNote->setFont(small);
    // Wrapped texts that change: room for the longest, so nothing is cut.
    StatsNote->setMinimumHeight(QFontMetrics(small).lineSpacing() * 5);
    StatsScope->setMinimumHeight(StatsScope->fontMetrics().lineSpacing() * 2);
    // The wrapped notes take the width the figures need; the panel keeps it
    // whatever the plot side shows.
    StatsBox->setMinimumWidth(statsGrid->minimumSize().width() + 8);

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshInterval);
    loader_ = new TrendLoader(this);
    showLoadControls(false);
}

void Trend::connectSignals() {
    connect(refreshTimer_, &QTimer::timeout, this, &Trend::refreshTimer_Timeout);
    connect(loader_, &TrendLoader::progress, LoadBar, &QProgressBar::setValue);
    connect(loader_, &TrendLoader::finished, this, &Trend::loader_Finished);
    connect(TrendChart, &TrendPlot::readoutChanged, Readout, &QLabel::setText);
    connect(TrendChart, &TrendPlot::viewChanged, this, &Trend::TrendChart_ViewChanged);
    connect(ClearBtn, &QPushButton::clicked, this, &Trend::ClearBtn_Click);
    connect(SavePlotBtn, &QPushButton::clicked, this, &Trend::SavePlotBtn_Click);
    connect(SaveCsvBtn, &QPushButton::clicked, this, &Trend::SaveCsvBtn_Click);
    connect(OpenLogBtn, &QPushButton::clicked, this, &Trend::OpenLogBtn_Click);
    connect(LiveBtn, &QPushButton::clicked, this, &Trend::LiveBtn_Click);
    connect(FollowBtn, &QPushButton::clicked, this, &Trend::FollowBtn_Click);
    connect(CancelLoadBtn, &QPushButton::clicked, this, &Trend::CancelLoadBtn_Click);
    connect(SessionBox, &QComboBox::activated, this, &Trend::SessionBox_Change);
    connect(ChannelBox, &QComboBox::activated, this, &Trend::ChannelBox_Change);
    connect(SpanBox, &QComboBox::activated, this, &Trend::SpanBox_Change);
    connect(StatsRangeBox, &QComboBox::activated, this, &Trend::StatsRangeBox_Change);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &Trend::FollowBtn_Click);
}

}  // namespace vx::forms
