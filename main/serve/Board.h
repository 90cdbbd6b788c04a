#pragma once

#include <QByteArray>
#include <QString>

#include <deque>
#include <optional>
#include <vector>

#include "feed/Feed.h"

class QUrlQuery;

// What the live page and the JSON endpoints show, without the server: the
// run's channels and meters, the figures of each channel over the whole run,
// and the last readings. Every reading is written as JSON once, here, and
// the same bytes go to every viewer.
//
// The JSON, as the page and scripts read it:
//   run     {"interval_s":1,"channels":[{"name":"V","unit":"V","function":"DC VOLTAGE","meter":0}]}
//   meter   {"name":"V","port":"COM1","identity":"...","state":"connected","reason":""}
//   reading {"seq":1,"time":"2026-12-08T14:05:09.000+01:00","t":1796734..,"values":[1.5,null],
//            "texts":["+1.50000E+00",""],"missing":["","V: no reply to FETC? within 2 s"]}
//   stats   [{"count":2,"min":1.5,"max":1.6,"mean":1.55}] (null figures while count is 0)
// Messages to a viewer: {"type":"hello",...} first, then {"type":"reading",...}
// and {"type":"meter",...} as they come.
namespace vx::serve {

class Board {
public:
    explicit Board(int history);

    void start(const feed::Run& run);
    // The message for the viewers.
    QByteArray add(const feed::Record& record);
    QByteArray meterChanged(int index, const feed::Meter& meter);

    // The first message a viewer gets: the run, the meters, the figures and
    // the readings held.
    QByteArray hello() const;
    // GET /api/status.
    QByteArray status(int viewers) const;
    // GET /api/readings?since=SEQ: the readings held after SEQ, oldest first.
    QByteArray readings(qint64 since) const;

    qint64 last() const { return last_; }

private:
    struct Figures {
        qint64 count = 0;
        double min = 0.0;
        double max = 0.0;
        double sum = 0.0;
    };
    struct Held {
        qint64 sequence;
        QByteArray json;
    };

    QByteArray runJson() const;
    QByteArray metersJson() const;
    QByteArray statsJson() const;
    QByteArray heldJson(qint64 since) const;

    const std::size_t history_;
    feed::Run run_;
    std::vector<Figures> figures_;
    std::deque<Held> held_;
    qint64 last_ = 0;
};

// The `since` of /api/readings: 0 when not given; an error text for
// anything but a whole number from 0.
struct Since {
    qint64 value = 0;
    QString error;
};
Since sinceOf(const QUrlQuery& query);

// "connecting", "connected", "lost", "reconnecting".
QString stateName(feed::Meter::State state);

}  // namespace vx::serve
