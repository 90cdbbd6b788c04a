#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "forms/Trend/TrendPlot.h"
#include "trend/TrendData.h"
#include "trend/TrendStats.h"
#include "ui_Trend.h"

class QChart;
class QDateTime;
class QLabel;
class QLineSeries;
class QResizeEvent;
class QShowEvent;
class QTimer;

namespace vx::shell {
class Dialogs;
}

namespace vx::logread {
struct Session;
}

namespace vx::forms {

class TrendLoader;

using trend::TrendStats;

// The Trend window: every reading plotted against local time (TrendPlot),
// statistics of both columns beside the plot, export of the plot as PNG and
// of the kept readings as CSV. Its layout is the form Trend.ui.
//
// It only listens: it sends nothing to the meter and leaves the log file alone.
// Readings are drawn at most four times a second, and not at all while the
// window is hidden; refreshNow() draws at once.
//
// Open Log... reads a log file of the program on a worker thread
// (TrendLoader) and shows one of its sessions in place of the live readings,
// which go on being kept until Live is chosen again.
class Trend : public QWidget, private Ui::TrendForm {
    Q_OBJECT

public:
    explicit Trend(shell::Dialogs& dialogs, QWidget* parent = nullptr);
    ~Trend() override;

    // One reading as the main window showed it. A new primary function
    // starts a new series: the kept points and the statistics are cleared.
    void addReading(const QDateTime& when, const meter::Reading& reading);

    // Draws the plot and the statistics now instead of at the next tick.
    void refreshNow();
    // How long readings are gathered before a redraw (250 ms unless set).
    void setRefreshInterval(std::chrono::milliseconds interval);

    // Starts reading a log file; the plot shows it once it has been read.
    void openLog(const QString& path);
    // The file dialog of Open Log...; no value when the operator cancels.
    using OpenDialog = std::function<std::optional<QString>(QWidget* parent)>;
    void setOpenDialog(OpenDialog dialog);

    enum class Span { Minute, TenMinutes, Hour, All };
    // How much time the plot shows while it follows, in the order of Span
    // and of the form's Span list; 0: from the first reading.
    static constexpr std::array<qint64, 4> kSpanMs{60'000, 600'000, 3'600'000, 0};
    using TimeRange = TrendPlot::TimeRange;
    bool following() const { return TrendChart->following(); }
    // The time axis as last drawn.
    TimeRange visibleRange() const { return TrendChart->visibleRange(); }
    bool loading() const;
    bool showingLog() const { return log_ != nullptr; }

    const trend::PointBuffer& points() const { return points_; }
    const TrendStats& primaryStats() const { return primaryStats_; }
    const TrendStats& secondaryStats() const { return secondaryStats_; }
    QChart* chart() const { return TrendChart->chart(); }
    // The line pieces of one column as last drawn, in time order.
    const QList<QLineSeries*>& plotted(trend::Column column) const {
        return TrendChart->plotted(column);
    }
    bool refreshPending() const;

public slots:
    void ClearBtn_Click();
    void SavePlotBtn_Click();
    void SaveCsvBtn_Click();
    void OpenLogBtn_Click();
    void LiveBtn_Click();
    void FollowBtn_Click();
    void CancelLoadBtn_Click();
    void SessionBox_Change(int index);
    void ChannelBox_Change(int index);
    void SpanBox_Change(int index);
    void StatsRangeBox_Change(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct ShownLog;

    enum class Stat { Count, Gaps, Last, Minimum, Maximum, Mean, StdDev, PeakToPeak };
    static constexpr int kStatCount = 8;

    void buildUi();
    void connectSignals();
    void scheduleRefresh();
    void refreshTimer_Timeout();
    void loader_Finished();
    // The plot was drawn (by refreshNow() or by a zoom): the figures and the
    // controls follow it.
    void TrendChart_ViewChanged();
    void startNewSeries();
    // Tells the plot what to draw: the readings or the session, and the
    // names of the columns.
    void showSource();
    void showStatistics();
    void showLoadControls(bool loading);
    void showSessions();
    // The channel list of a log of several meters; hidden for other logs.
    void showChannels();
    const logread::Session* shownSession() const;
    trend::ColumnLabel label(trend::Column column) const;
    bool columnShown(trend::Column column) const;
    QString statText(const TrendStats& stats, Stat stat, const QString& unit) const;
    bool writeFile(const QString& path, const QByteArray& bytes, QString& error) const;
    void reportSaveError(const QString& what, const QString& path, const QString& error);

    shell::Dialogs& dialogs_;

    trend::PointBuffer points_;
    TrendStats primaryStats_;
    TrendStats secondaryStats_;
    QString primaryFunction_;
    QString primaryUnit_;
    QString secondaryUnit_;
    bool secondaryOn_ = false;
    bool started_ = false;
    bool stale_ = false;  // readings came in while the window was hidden

    Span span_ = Span::All;
    bool statsVisibleOnly_ = false;

    std::unique_ptr<ShownLog> log_;
    TrendLoader* loader_ = nullptr;
    OpenDialog openDialog_;

    std::array<QLabel*, kStatCount> primaryValues_{};
    std::array<QLabel*, kStatCount> secondaryValues_{};
    QTimer* refreshTimer_ = nullptr;
};

}  // namespace vx::forms
