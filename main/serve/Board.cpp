#include "serve/Board.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string_view>

namespace vx::serve {

namespace {

constexpr double kNsPerSecond = 1e9;

// By feed::Meter::State.
constexpr std::array<std::string_view, 4> kStateNames{"connecting", "connected", "lost",
                                                      "reconnecting"};

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonValue number(double v) {
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

// ISO 8601 with the UTC offset, as vxlog's own JSON lines write it.
QString isoTime(const QDateTime& when) {
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QJsonArray strings(const std::vector<QString>& texts) {
    QJsonArray out;
    for (const QString& text : texts) {
        out.append(text);
    }
    return out;
}

QJsonObject meterObject(const feed::Meter& meter) {
    return {{QStringLiteral("name"), meter.name},
            {QStringLiteral("port"), meter.port},
            {QStringLiteral("identity"), meter.identity},
            {QStringLiteral("state"), stateName(meter.state)},
            {QStringLiteral("reason"), meter.reason}};
}

}  // namespace

QString stateName(feed::Meter::State state) {
    const std::string_view name = kStateNames[std::size_t(state)];
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

Board::Board(int history) : history_(std::size_t(std::max(history, 1))) {}

void Board::start(const feed::Run& run) {
    run_ = run;
    figures_.assign(run.channels.size(), {});
    held_.clear();
    last_ = 0;
}

QByteArray Board::add(const feed::Record& record) {
    QJsonArray values;
    for (std::size_t i = 0; i < record.values.size(); ++i) {
        const double v = record.values[i];
        values.append(number(v));
        if (i < figures_.size() && std::isfinite(v)) {
            Figures& f = figures_[i];
            f.min = f.count == 0 ? v : std::min(f.min, v);
            f.max = f.count == 0 ? v : std::max(f.max, v);
            f.sum += v;
            ++f.count;
        }
    }
    const QByteArray json = compact({{QStringLiteral("seq"), record.sequence},
                                     {QStringLiteral("time"), isoTime(record.when)},
                                     {QStringLiteral("t"), record.when.toMSecsSinceEpoch()},
                                     {QStringLiteral("values"), values},
                                     {QStringLiteral("texts"), strings(record.texts)},
                                     {QStringLiteral("missing"), strings(record.missing)}});
    held_.push_back({record.sequence, json});
    if (held_.size() > history_) {
        held_.pop_front();
    }
    last_ = record.sequence;
    return "{\"type\":\"reading\",\"reading\":" + json + ",\"stats\":" + statsJson() + '}';
}

QByteArray Board::meterChanged(int index, const feed::Meter& meter) {
    if (index >= 0 && std::size_t(index) < run_.meters.size()) {
        run_.meters[std::size_t(index)] = meter;
    }
    return compact({{QStringLiteral("type"), QStringLiteral("meter")},
                    {QStringLiteral("index"), index},
                    {QStringLiteral("meter"), meterObject(meter)}});
}

QByteArray Board::runJson() const {
    QJsonArray channels;
    for (const feed::Channel& c : run_.channels) {
        channels.append(QJsonObject{{QStringLiteral("name"), c.name},
                                    {QStringLiteral("unit"), c.unit},
                                    {QStringLiteral("function"), c.function},
                                    {QStringLiteral("meter"), c.meter}});
    }
    return compact({{QStringLiteral("interval_s"), double(run_.intervalNs) / kNsPerSecond},
                    {QStringLiteral("channels"), channels}});
}

QByteArray Board::metersJson() const {
    QJsonArray meters;
    for (const feed::Meter& m : run_.meters) {
        meters.append(meterObject(m));
    }
    return QJsonDocument(meters).toJson(QJsonDocument::Compact);
}

QByteArray Board::statsJson() const {
    QJsonArray out;
    for (const Figures& f : figures_) {
        const bool any = f.count > 0;
        constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
        out.append(
            QJsonObject{{QStringLiteral("count"), f.count},
                        {QStringLiteral("min"), number(any ? f.min : kNone)},
                        {QStringLiteral("max"), number(any ? f.max : kNone)},
                        {QStringLiteral("mean"), number(any ? f.sum / double(f.count) : kNone)}});
    }
    return QJsonDocument(out).toJson(QJsonDocument::Compact);
}

QByteArray Board::heldJson(qint64 since) const {
    QByteArray out = "[";
    // Sequences rise, so the readings after `since` are the tail.
    auto from = std::partition_point(held_.cbegin(), held_.cend(),
                                     [since](const Held& h) { return h.sequence <= since; });
    for (auto it = from; it != held_.cend(); ++it) {
        if (it != from) {
            out += ',';
        }
        out += it->json;
    }
    return out + ']';
}

QByteArray Board::hello() const {
    return "{\"type\":\"hello\",\"run\":" + runJson() + ",\"meters\":" + metersJson() +
           ",\"stats\":" + statsJson() + ",\"history\":" + heldJson(0) + '}';
}

QByteArray Board::status(int viewers) const {
    const QByteArray latest = held_.empty() ? QByteArray("null") : held_.back().json;
    return "{\"run\":" + runJson() + ",\"meters\":" + metersJson() + ",\"stats\":" + statsJson() +
           ",\"latest\":" + latest +
           ",\"first\":" + QByteArray::number(held_.empty() ? 0 : held_.front().sequence) +
           ",\"last\":" + QByteArray::number(last_) +
           ",\"viewers\":" + QByteArray::number(viewers) + '}';
}

QByteArray Board::readings(qint64 since) const {
    return "{\"first\":" + QByteArray::number(held_.empty() ? 0 : held_.front().sequence) +
           ",\"last\":" + QByteArray::number(last_) + ",\"readings\":" + heldJson(since) + '}';
}

Since sinceOf(const QUrlQuery& query) {
    Since out;
    const QStringList given = query.allQueryItemValues(QStringLiteral("since"));
    if (given.isEmpty()) {
        return out;
    }
    const QString text = given.back();
    bool ok = false;
    out.value = text.toLongLong(&ok);
    const bool digits = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    if (!ok || !digits || given.size() > 1) {
        out.value = 0;
        out.error = given.size() > 1
                        ? QStringLiteral("since is given more than once")
                        : QStringLiteral("since: \"%1\" is not a reading's number (0, 1, 2, ...)")
                              .arg(text);
    }
    return out;
}

}  // namespace vx::serve
