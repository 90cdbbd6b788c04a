#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

#include "feed/Feed.h"

// What a reading looks like on its way to the lab's data system: a JSON
// object for MQTT consumers and Home Assistant, or InfluxDB line protocol for
// Telegraf. Both carry the sequence number, so a consumer can drop the
// duplicates that QoS 1 allows.
namespace vx::publish {

enum class PayloadFormat : std::uint8_t { Json, Influx };

// One record as one JSON object, without a line end:
// {"seq":7,"time":"2026-12-08T14:05:09.000+01:00","channels":{"V":{"value":1.5,
//  "text":"+1.50000E+00","unit":"V","function":"DC VOLTAGE","current":"DC",
//  "meter":"V","identity":"Velmora,VX480,..."}}}
// A channel without a value has "value":null and "missing" with the reason.
QByteArray jsonPayload(const feed::Run& run, const feed::Record& record, qint64 sequence);

// One record as line protocol: a line for each channel, each ended by "\n":
// vxlog,channel=V,unit=V,function=DC\ VOLTAGE,meter=V value=1.5,seq=7i 1796306709000000000
// A channel without a value keeps seq and says why in the string field
// "missing", so a gap shows in the database too.
QByteArray influxLines(const feed::Run& run, const feed::Record& record, qint64 sequence);

QByteArray payload(PayloadFormat format, const feed::Run& run, const feed::Record& record,
                   qint64 sequence);

// "AC" or "DC" for a function caption that names one ("AC CURRENT"); empty
// for the others.
QString currentKind(const QString& function);

// A retained Home Assistant discovery message for one channel.
struct Discovery {
    QString topic;
    QByteArray payload;
};

// Topics: readings on `readingsTopic`, availability on `statusTopic`. Each
// channel is one sensor of one device named after `prefix`.
std::vector<Discovery> discoveryMessages(const feed::Run& run, const QString& prefix,
                                         const QString& readingsTopic, const QString& statusTopic);

}  // namespace vx::publish
