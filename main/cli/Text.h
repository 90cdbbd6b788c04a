#pragma once

#include <QDateTime>
#include <QJsonValue>
#include <QString>

// How vxlog writes numbers, times and fields in its outputs and messages.
namespace vx::cli {

// "%.8g": the statistics in the summary and the status line.
QString number(double v, int digits = 8);
// A time in milliseconds as seconds, "0.2".
QString seconds(int ms);
// "01:02:03" on the status line; "01:02:03.456" in the summary.
QString clockText(qint64 ns, bool withMs = false);
// "1 reading", "2 readings": `n` and `noun`, in the plural but for one.
QString countText(qint64 n, const QString& noun);
// ISO 8601 with the UTC offset: "2016-09-22T14:05:09.000+02:00".
QString isoTime(const QDateTime& when);
// A CSV field, quoted where it holds a comma or a quote.
QString csvField(const QString& field);
// A value, or null for a gap (overload, not a number).
QJsonValue jsonNumber(double v);
// "1.5 V", or the value alone without a unit.
QString withUnit(const QString& value, const QString& unit);
// `text` with every control character written out as \xHH, so nothing a
// meter sends can drive the terminal.
QString visible(const QString& text);

}  // namespace vx::cli
