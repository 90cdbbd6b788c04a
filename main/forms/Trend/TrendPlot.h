#pragma once

#include <QChartView>
#include <QList>
#include <QString>

#include <array>
#include <optional>

#include "trend/TrendData.h"

class QColor;
class QDateTimeAxis;
class QLineSeries;
class QRubberBand;
class QScatterSeries;
class QValueAxis;

namespace vx::logread {
struct Session;
}

namespace vx::forms {

// The Trend window's plot: readings against local time, the primary column
// on the left axis and the secondary column on its own right axis.
//
// It follows the newest reading over a span until the operator zooms (the
// wheel, the keys + and -, a rectangle dragged with the right button or with
// Shift) or pans (dragging, the keys Left and Right); follow() goes back.
// Hovering reads out the nearest reading and marks it.
//
// The window tells it what to draw (the live readings or a session of a log
// file, the columns' names, the span) and calls redraw(); the readings stay
// the window's. The operator's gestures redraw at once and emit viewChanged().
class TrendPlot : public QChartView {
    Q_OBJECT

public:
    struct TimeRange {
        qint64 from = 0;  // ms since the epoch
        qint64 to = 0;
    };

    explicit TrendPlot(QWidget* parent = nullptr);

    // The colour of a column's line, axis and figures.
    static QColor colour(trend::Column column);

    // What to draw: the live readings, or a session of a log file (nothing
    // when there is no such session). Both are read at each redraw and
    // hover, so they must live until the next call.
    void showReadings(const trend::PointBuffer& points);
    void showSession(const logread::Session* session);
    // The column of a session drawn as the primary line: a channel of a log
    // of several meters (0, the primary, unless set).
    void setChannel(trend::LogColumn channel);
    // How a column is named in the readout and on its axis, and whether it
    // is drawn at all.
    void setColumn(trend::Column column, const trend::ColumnLabel& label, const QString& axisTitle,
                   bool shown);
    // How much time the plot shows while following: the last `ms`, or from
    // the first reading when 0.
    void setSpan(qint64 ms);
    // Follows the newest reading again.
    void follow();
    bool following() const { return following_; }

    // Draws the axes and the lines from what was given.
    void redraw();
    // The time axis as last drawn.
    TimeRange visibleRange() const;
    // The line pieces of one column as last drawn, in time order.
    const QList<QLineSeries*>& plotted(trend::Column column) const;

    // Takes the readout back to its hint and hides the mark.
    void hideReadout();

signals:
    // The text under the plot: the reading under the mouse, or the hint.
    void readoutChanged(const QString& text);
    // The operator zoomed or panned; the plot is drawn already.
    void viewChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Drag { None, Pan, Zoom };

    struct ColumnView {
        QValueAxis* axis = nullptr;
        QList<QLineSeries*> lines;  // one per run between gaps, reused
        trend::ColumnLabel label;
        QString axisTitle;
        bool shown = false;
    };

    trend::LogColumn sessionColumn(trend::Column column) const;
    ColumnView& column(trend::Column column);
    const ColumnView& column(trend::Column column) const;
    void drawColumn(trend::Column which, int buckets);
    // The range to draw: the followed span, or the one zoomed and panned to.
    TimeRange wantedRange() const;
    std::optional<TimeRange> dataRange() const;
    // Leaves Follow with the range now drawn.
    void stopFollowing();
    void setView(qint64 from, qint64 to);
    void zoomAround(qint64 anchor, double factor);
    void panBy(double plotWidths);
    bool plotKey(int key);
    bool plotMouse(QEvent* event);
    void showReadout(const QPoint& viewportPos);
    std::optional<qint64> timeAt(const QPoint& viewportPos, bool clampToPlot) const;
    QRect plotRect() const;  // plot area in viewport pixels

    const trend::PointBuffer* points_ = nullptr;  // the live readings, or
    const logread::Session* session_ = nullptr;   // a log file's session
    trend::LogColumn channel_ = 0;

    bool following_ = true;
    qint64 spanMs_ = 0;
    qint64 viewFrom_ = 0;  // while not following
    qint64 viewTo_ = 0;
    Drag drag_ = Drag::None;
    QPoint dragStart_;
    TimeRange dragRange_;

    QDateTimeAxis* timeAxis_ = nullptr;
    std::array<ColumnView, 2> columns_;
    QScatterSeries* cursorMark_ = nullptr;
    QRubberBand* rubberBand_ = nullptr;
};

}  // namespace vx::forms
