#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "trend/TrendData.h"
#include "trend/TrendStats.h"

class QChart;
class QComboBox;
class QProgressBar;
class QRubberBand;
class QScatterSeries;
class QThread;
class QChartView;
class QColor;
class QDateTime;
class QResizeEvent;
class QShowEvent;
class QDateTimeAxis;
class QGroupBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace vx::shell {
class Dialogs;
}

namespace vx::logread {
struct LogContents;
struct Session;
}  // namespace vx::logread

namespace vx::forms {

using trend::TrendStats;

// The Trend window: every reading plotted against local time, the primary
// value on the left axis and, while the secondary display is on, the
// secondary value on its own right axis; statistics of both beside the plot;
// export of the plot as PNG and of the kept readings as CSV.
//
// It only listens: it sends nothing to the meter and leaves the log file alone.
// Readings are drawn at most four times a second, and not at all while the
// window is hidden; refreshNow() draws at once.
//
// The time axis follows the newest reading over a chosen span until the
// operator zooms (wheel, a dragged rectangle with the right button or with
// Shift) or pans (dragging); Follow or Escape goes back. Hovering reads out
// the nearest reading. Open Log... reads a log file of the program on a
// worker thread and shows one of its sessions in place of the live readings,
// which go on being kept until Live is chosen again.
class Trend : public QWidget {
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
    struct TimeRange {
        qint64 from = 0;  // ms since the epoch
        qint64 to = 0;
    };
    bool following() const { return following_; }
    // The time axis as last drawn.
    TimeRange visibleRange() const;
    bool loading() const { return loader_ != nullptr; }
    bool showingLog() const { return log_ != nullptr; }

    const trend::PointBuffer& points() const { return points_; }
    const TrendStats& primaryStats() const { return primaryStats_; }
    const TrendStats& secondaryStats() const { return secondaryStats_; }
    QChart* chart() const { return chart_; }
    // The line pieces of one column as last drawn, in time order.
    const QList<QLineSeries*>& plotted(trend::Column column) const;
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
    void SpanBox_Change(int index);
    void StatsRangeBox_Change(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct LoadJob;
    struct ShownLog;
    enum class Drag { None, Pan, Zoom };

    enum class Stat { Count, Gaps, Last, Minimum, Maximum, Mean, StdDev, PeakToPeak };
    static constexpr int kStatCount = 8;

    void buildUi();
    void connectSignals();
    void scheduleRefresh();
    void refreshTimer_Timeout();
    void startNewSeries();
    void drawPlot();
    void drawColumn(trend::Column column, QList<QLineSeries*>& pool, QValueAxis* axis,
                    const QColor& colour, bool shown, int buckets);
    void showStatistics();
    void showReadout(const QPoint& viewportPos);
    void hideReadout();
    // The range to draw: the followed span, or the one zoomed and panned to.
    TimeRange wantedRange() const;
    std::optional<TimeRange> dataRange() const;
    const logread::Session* shownSession() const;
    trend::ColumnLabel label(trend::Column column) const;
    bool columnShown(trend::Column column) const;
    // Leaves Follow with the range now drawn.
    void stopFollowing();
    void setView(qint64 from, qint64 to);
    void zoomAround(qint64 anchor, double factor);
    void panBy(double plotWidths);
    bool plotKey(int key);
    bool plotMouse(QEvent* event);
    std::optional<qint64> timeAt(const QPoint& viewportPos, bool clampToPlot) const;
    QRect plotRect() const;  // plot area in viewport pixels
    void loader_Finished();
    void progressTimer_Timeout();
    void showLoadControls(bool loading);
    void showSessions();
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

    bool following_ = true;
    Span span_ = Span::All;
    qint64 viewFrom_ = 0;  // while not following
    qint64 viewTo_ = 0;
    bool statsVisibleOnly_ = false;
    Drag drag_ = Drag::None;
    QPoint dragStart_;
    TimeRange dragRange_;

    std::unique_ptr<ShownLog> log_;
    std::shared_ptr<LoadJob> job_;
    QThread* loader_ = nullptr;
    OpenDialog openDialog_;

    QChart* chart_ = nullptr;
    QChartView* TrendChart = nullptr;
    QDateTimeAxis* TimeAxis = nullptr;
    QValueAxis* PrimaryAxis = nullptr;
    QValueAxis* SecondaryAxis = nullptr;
    QList<QLineSeries*> primaryLines_;
    QList<QLineSeries*> secondaryLines_;
    QScatterSeries* cursorMark_ = nullptr;
    QRubberBand* rubberBand_ = nullptr;

    QPushButton* OpenLogBtn = nullptr;
    QPushButton* LiveBtn = nullptr;
    QComboBox* SessionBox = nullptr;
    QComboBox* SpanBox = nullptr;
    QPushButton* FollowBtn = nullptr;
    QLabel* Readout = nullptr;
    QLabel* LogNote = nullptr;
    QProgressBar* LoadBar = nullptr;
    QPushButton* CancelLoadBtn = nullptr;
    QComboBox* StatsRangeBox = nullptr;
    QLabel* StatsScope = nullptr;

    QGroupBox* StatsBox = nullptr;
    QLabel* PrimaryTitle = nullptr;
    QLabel* SecondaryTitle = nullptr;
    std::array<QLabel*, kStatCount> primaryValues_{};
    std::array<QLabel*, kStatCount> secondaryValues_{};
    QLabel* StatsNote = nullptr;
    QPushButton* ClearBtn = nullptr;
    QPushButton* SavePlotBtn = nullptr;
    QPushButton* SaveCsvBtn = nullptr;
    QTimer* refreshTimer_ = nullptr;
    QTimer* progressTimer_ = nullptr;
};

}  // namespace vx::forms
