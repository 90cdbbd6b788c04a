#include "publish/Payload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <array>
#include <cmath>
#include <string_view>

namespace vx::publish {

namespace {

// The meter's unit texts as consumers want them: the SI unit, whether the
// reading is AC or DC, and how Home Assistant classes it.
struct UnitRow {
    std::string_view meter;    // "VDC", as the function tables give it
    std::string_view unit;     // "V"
    std::string_view current;  // "DC", "AC", or empty
    std::string_view haClass;  // Home Assistant's device_class; empty for none
    std::string_view haUnit;   // Home Assistant's unit_of_measurement
};

constexpr std::array kUnits{
    UnitRow{"VDC", "V", "DC", "voltage", "V"},
    UnitRow{"VAC", "V", "AC", "voltage", "V"},
    UnitRow{"DCV", "V", "DC", "voltage", "V"},
    UnitRow{"ADC", "A", "DC", "current", "A"},
    UnitRow{"AAC", "A", "AC", "current", "A"},
    UnitRow{"A", "A", "", "current", "A"},
    UnitRow{"V", "V", "", "voltage", "V"},
    UnitRow{"Ohm", "Ohm", "", "", "\u03a9"},
    UnitRow{"Hz", "Hz", "", "frequency", "Hz"},
    UnitRow{"S", "s", "", "duration", "s"},
    UnitRow{"dBm", "dBm", "", "signal_strength", "dBm"},
    UnitRow{"dB", "dB", "", "", "dB"},
};

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

const UnitRow* unitRow(const QString& unit) {
    for (const UnitRow& row : kUnits) {
        if (unit == text(row.meter)) {
            return &row;
        }
    }
    return nullptr;
}

QString baseUnit(const QString& unit) {
    const UnitRow* row = unitRow(unit);
    return row != nullptr ? text(row->unit) : unit;
}

QString channelCurrent(const feed::Channel& channel) {
    const UnitRow* row = unitRow(channel.unit);
    if (row != nullptr && !row->current.empty()) {
        return text(row->current);
    }
    return currentKind(channel.function);
}

const feed::Meter* meterOf(const feed::Run& run, const feed::Channel& channel) {
    if (channel.meter < 0 || channel.meter >= int(run.meters.size())) {
        return nullptr;
    }
    return &run.meters[std::size_t(channel.meter)];
}

template <typename T>
const T& at(const std::vector<T>& list, std::size_t i) {
    static const T none{};
    return i < list.size() ? list[i] : none;
}

bool isValue(double v) {
    return std::isfinite(v);
}

QString isoTime(const QDateTime& when) {
    return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

// Line protocol escapes: measurement names escape commas and blanks, tag
// keys and values also equals signs; none may hold a line end.
QByteArray escaped(const QString& s, bool equals) {
    QByteArray out;
    for (const QChar c : s) {
        if (c == u'\n' || c == u'\r' || c == u'\t') {
            out += "\\ ";
            continue;
        }
        if (c == u',' || c == u' ' || (equals && c == u'=') || c == u'\\') {
            out += '\\';
        }
        out += QString(c).toUtf8();
    }
    return out;
}

QByteArray fieldString(const QString& s) {
    QByteArray out = "\"";
    for (const QChar c : s) {
        if (c == u'"' || c == u'\\') {
            out += '\\';
        }
        out += (c == u'\n' || c == u'\r') ? QByteArray(" ") : QString(c).toUtf8();
    }
    return out + '"';
}

QByteArray tag(const char* key, const QString& value) {
    return value.isEmpty() ? QByteArray() : ',' + QByteArray(key) + '=' + escaped(value, true);
}

}  // namespace

QString currentKind(const QString& function) {
    const QString f = function.toUpper();
    if (f.startsWith(QLatin1String("AC ")) || f.contains(QLatin1String(":AC"))) {
        return QStringLiteral("AC");
    }
    if (f.startsWith(QLatin1String("DC ")) || f.contains(QLatin1String(":DC"))) {
        return QStringLiteral("DC");
    }
    return {};
}

QByteArray jsonPayload(const feed::Run& run, const feed::Record& record, qint64 sequence) {
    QJsonObject channels;
    for (std::size_t i = 0; i < run.channels.size(); ++i) {
        const feed::Channel& channel = run.channels[i];
        const double value = at(record.values, i);
        QJsonObject c{{QStringLiteral("value"), isValue(value) ? QJsonValue(value) : QJsonValue()}};
        if (const QString& t = at(record.texts, i); !t.isEmpty()) {
            c.insert(QStringLiteral("text"), t);
        }
        if (!channel.unit.isEmpty()) {
            c.insert(QStringLiteral("unit"), baseUnit(channel.unit));
        }
        if (!channel.function.isEmpty()) {
            c.insert(QStringLiteral("function"), channel.function);
        }
        if (const QString current = channelCurrent(channel); !current.isEmpty()) {
            c.insert(QStringLiteral("current"), current);
        }
        if (const feed::Meter* meter = meterOf(run, channel)) {
            c.insert(QStringLiteral("meter"), meter->name);
            if (!meter->identity.isEmpty()) {
                c.insert(QStringLiteral("identity"), meter->identity);
            }
        }
        if (const QString& why = at(record.missing, i); !isValue(value) && !why.isEmpty()) {
            c.insert(QStringLiteral("missing"), why);
        }
        channels.insert(channel.name, c);
    }
    const QJsonObject o{{QStringLiteral("seq"), double(sequence)},
                        {QStringLiteral("time"), isoTime(record.when)},
                        {QStringLiteral("channels"), channels}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray influxLines(const feed::Run& run, const feed::Record& record, qint64 sequence) {
    const QByteArray time =
        QByteArray::number(record.when.toMSecsSinceEpoch()) + QByteArrayLiteral("000000");
    QByteArray out;
    for (std::size_t i = 0; i < run.channels.size(); ++i) {
        const feed::Channel& channel = run.channels[i];
        const feed::Meter* meter = meterOf(run, channel);
        out += "vxlog" + tag("channel", channel.name) + tag("unit", baseUnit(channel.unit)) +
               tag("current", channelCurrent(channel)) + tag("function", channel.function) +
               tag("meter", meter != nullptr ? meter->name : QString()) + ' ';
        const double value = at(record.values, i);
        if (isValue(value)) {
            out += "value=" + QString::number(value, 'g', QLocale::FloatingPointShortest).toUtf8() +
                   ',';
        } else if (const QString& why = at(record.missing, i); !why.isEmpty()) {
            out += "missing=" + fieldString(why) + ',';
        }
        out += "seq=" + QByteArray::number(sequence) + "i " + time + '\n';
    }
    return out;
}

QByteArray payload(PayloadFormat format, const feed::Run& run, const feed::Record& record,
                   qint64 sequence) {
    return format == PayloadFormat::Influx ? influxLines(run, record, sequence)
                                           : jsonPayload(run, record, sequence);
}

std::vector<Discovery> discoveryMessages(const feed::Run& run, const QString& prefix,
                                         const QString& readingsTopic, const QString& statusTopic) {
    QString node = QStringLiteral("vxlog_");
    for (const QChar c : prefix) {
        node += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'_' || c == u'-' ? c : u'_';
    }
    QJsonObject device{{QStringLiteral("identifiers"), QJsonArray{node}},
                       {QStringLiteral("name"), QStringLiteral("vxlog ") + prefix},
                       {QStringLiteral("manufacturer"), QStringLiteral("Velmora")}};
    if (!run.meters.empty() && !run.meters.front().identity.isEmpty()) {
        device.insert(QStringLiteral("model"), run.meters.front().identity.section(u',', 1, 1));
    }
    std::vector<Discovery> out;
    for (const feed::Channel& channel : run.channels) {
        const UnitRow* row = unitRow(channel.unit);
        const QString value = QStringLiteral("value_json.channels.%1").arg(channel.name);
        QJsonObject config{
            {QStringLiteral("name"), channel.name},
            {QStringLiteral("unique_id"), node + u'_' + channel.name},
            {QStringLiteral("object_id"), node + u'_' + channel.name},
            {QStringLiteral("state_topic"), readingsTopic},
            {QStringLiteral("value_template"), QStringLiteral("{{ %1.value }}").arg(value)},
            {QStringLiteral("json_attributes_topic"), readingsTopic},
            {QStringLiteral("json_attributes_template"),
             QStringLiteral("{{ %1 | tojson }}").arg(value)},
            {QStringLiteral("state_class"), QStringLiteral("measurement")},
            {QStringLiteral("availability_topic"), statusTopic},
            {QStringLiteral("payload_available"), QStringLiteral("online")},
            {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
            {QStringLiteral("device"), device},
        };
        if (row != nullptr) {
            config.insert(QStringLiteral("unit_of_measurement"), text(row->haUnit));
            if (!row->haClass.empty()) {
                config.insert(QStringLiteral("device_class"), text(row->haClass));
            }
        } else if (!channel.unit.isEmpty()) {
            config.insert(QStringLiteral("unit_of_measurement"), channel.unit);
        }
        out.push_back({QStringLiteral("homeassistant/sensor/%1/%2/config").arg(node, channel.name),
                       QJsonDocument(config).toJson(QJsonDocument::Compact)});
    }
    return out;
}

}  // namespace vx::publish
