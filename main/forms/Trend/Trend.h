#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <array>
#include <chrono>

#include "TrendData.h"
#include "TrendStats.h"

class QChart;
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

namespace shell {
class Dialogs;
}

// The Trend window: every reading plotted against local time, the primary
// value on the left axis and, while the secondary display is on, the
// secondary value on its own right axis; statistics of both beside the plot;
// export of the plot as PNG and of the kept readings as CSV.
//
// It only listens: it sends nothing to the meter and leaves the log file alone.
// Readings are drawn at most four times a second, and not at all while the
// window is hidden; refreshNow() draws at once.
class Trend : public QWidget {
    Q_OBJECT

public:
    explicit Trend(shell::Dialogs& dialogs, QWidget* parent = nullptr);

    // One reading as the main window showed it. A new `primaryFunction`
    // starts a new series: the kept points and the statistics are cleared.
    void addReading(const QDateTime& when, const QString& reply, bool secondaryOn,
                    const QString& primaryFunction, const QString& primaryUnit,
                    const QString& secondaryUnit);

    // Draws the plot and the statistics now instead of at the next tick.
    void refreshNow();
    // How long readings are gathered before a redraw (250 ms unless set).
    void setRefreshInterval(std::chrono::milliseconds interval);

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

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
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

    QChart* chart_ = nullptr;
    QChartView* TrendChart = nullptr;
    QDateTimeAxis* TimeAxis = nullptr;
    QValueAxis* PrimaryAxis = nullptr;
    QValueAxis* SecondaryAxis = nullptr;
    QList<QLineSeries*> primaryLines_;
    QList<QLineSeries*> secondaryLines_;

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
};
