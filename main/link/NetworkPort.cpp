#include "link/NetworkPort.h"

#include <algorithm>
#include <array>

#include "link/Errors.h"

namespace vx::link {

namespace {

constexpr QLatin1StringView kScheme{"tcp://"};

// What each network failure means to the operator. %1 is the device text
// ("tcp://benchserver:4001"), %2 the system's own words.
struct SocketFailure {
    ErrorNumber number;
    const char* reason;
};

constexpr std::array kSocketFailures{
    SocketFailure{kConnectionRefused,
                  "%1 refused the connection: no device server listens on that port"},
    SocketFailure{kHostNotFound, "the host of %1 was not found: check the name"},
    SocketFailure{kHostUnreachable, "%1 cannot be reached (%2): check the network and the address"},
    SocketFailure{kConnectTimedOut, "%1 did not answer the connection in time"},
    SocketFailure{kConnectionClosed, "%1 closed the connection"},
    SocketFailure{kPermissionDenied, "the system refused a connection to %1 (%2)"},
};

}  // namespace

bool isNetworkDevice(const QString& device) {
    // ASCII case: no other character folds to these letters.
    return device.left(kScheme.size()).toLatin1().toLower() == QByteArrayView(kScheme);
}

std::optional<NetworkAddress> parseNetworkDevice(const QString& device, QString* error) {
    const auto failed = [&](const QString& why) -> std::optional<NetworkAddress> {
        if (error != nullptr) {
            *error = QStringLiteral("\"%1\" is not a network port: %2").arg(device, why);
        }
        return std::nullopt;
    };
    if (!isNetworkDevice(device)) {
        return failed(QStringLiteral("it does not start with tcp://"));
    }
    const QString rest = device.mid(kScheme.size());
    QString host;
    QString port;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0 || rest.mid(close + 1, 1) != QLatin1String(":")) {
            return failed(QStringLiteral("write it as tcp://[IPv6 address]:PORT"));
        }
        host = rest.mid(1, close - 1);
        port = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0) {
            return failed(QStringLiteral("the port number is missing (tcp://HOST:PORT)"));
        }
        host = rest.left(colon);
        port = rest.mid(colon + 1);
        if (host.contains(QLatin1Char(':'))) {
            return failed(QStringLiteral("write an IPv6 address in brackets, tcp://[::1]:PORT"));
        }
    }
    if (host.isEmpty()) {
        return failed(QStringLiteral("the host is missing (tcp://HOST:PORT)"));
    }
    for (const QChar c : host) {
        if (c.isSpace() || c == QLatin1Char('/') || c == QLatin1Char('@')) {
            return failed(QStringLiteral("the host holds \"%1\"").arg(c));
        }
    }
    bool ok = false;
    const uint number = port.toUInt(&ok, 10);
    // toUInt takes a sign and surrounding spaces; a port is digits only.
    const bool digitsOnly = !port.isEmpty() && std::all_of(port.cbegin(), port.cend(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    if (!ok || !digitsOnly || number < 1 || number > 65535) {
        return failed(QStringLiteral("the port must be a number from 1 to 65535"));
    }
    return NetworkAddress{host, static_cast<quint16>(number)};
}

QString describeDevice(const QString& device) {
    if (!isNetworkDevice(device)) {
        return device;
    }
    return QStringLiteral("%1 (network; the baud rate is the device server's setting)").arg(device);
}

NetworkFailure networkFailure(int error, const QString& device, const QString& systemText) {
    for (const auto& entry : kSocketFailures) {
        if (entry.number == error) {
            // One pass over the template: a "%2" inside the device text (an
            // IPv6 zone such as fe80::1%2) stays as it is.
            const QString text = QString::fromLatin1(entry.reason);
            return {entry.number, text.contains(QLatin1String("%2")) ? text.arg(device, systemText)
                                                                     : text.arg(device)};
        }
    }
    return {kNetworkFailed, QStringLiteral("%1 failed: %2").arg(device, systemText)};
}

NetworkFailure connectTimedOut(const QString& device, std::chrono::milliseconds limit) {
    return {kConnectTimedOut,
            QStringLiteral("no connection to %1 within %2 s: check that the device server is on "
                           "and reachable")
                .arg(device, QString::number(double(limit.count()) / 1000.0))};
}

}  // namespace vx::link
