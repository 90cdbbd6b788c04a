#include "serve/Access.h"

#include <QFile>
#include <QUrlQuery>

#include <arpa/inet.h>

#include <algorithm>
#include <array>

namespace vx::serve {

namespace {

constexpr quint16 kLoopbackNet = 127;

bool isUrlSafe(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~';
}

// An IPv4 or IPv6 address in its usual text; IPv6 without brackets.
bool isAddress(const QString& host) {
    const QByteArray text = host.toLatin1();
    std::array<unsigned char, 16> bytes{};
    return inet_pton(AF_INET, text.constData(), bytes.data()) == 1 ||
           inet_pton(AF_INET6, text.constData(), bytes.data()) == 1;
}

QString endpointError(const QString& text) {
    return QStringLiteral(
               "--serve: \"%1\" is not [ADDRESS:]PORT: an IP address (192.168.1.20, 0.0.0.0 for "
               "every interface, [::1]) and a port from 0 (any free one) to 65535")
        .arg(text);
}

}  // namespace

Endpoint parseEndpoint(const QString& text) {
    Endpoint out;
    out.host = QStringLiteral("127.0.0.1");
    QString portText = text;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon >= 0) {
        QString host = text.left(colon);
        portText = text.mid(colon + 1);
        if (host.startsWith(u'[') && host.endsWith(u']')) {
            host = host.mid(1, host.size() - 2);
            if (!host.contains(u':')) {
                out.error = endpointError(text);
                return out;
            }
        } else if (host.contains(u':')) {
            // An IPv6 address goes in brackets, or its last group reads as the port.
            out.error = endpointError(text);
            return out;
        }
        if (!isAddress(host)) {
            out.error = endpointError(text);
            return out;
        }
        out.host = host;
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    const bool digits = std::all_of(portText.cbegin(), portText.cend(),
                                    [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!ok || !digits || portText.isEmpty() || port > 65535) {
        out.error = endpointError(text);
        return out;
    }
    out.port = quint16(port);
    return out;
}

bool isLoopback(const QString& host) {
    const QByteArray text = host.toLatin1();
    std::array<unsigned char, 16> bytes{};
    if (inet_pton(AF_INET, text.constData(), bytes.data()) == 1) {
        return bytes[0] == kLoopbackNet;
    }
    if (inet_pton(AF_INET6, text.constData(), bytes.data()) == 1) {
        return std::all_of(bytes.cbegin(), bytes.cend() - 1,
                           [](unsigned char b) { return b == 0; }) &&
               bytes.back() == 1;
    }
    return false;
}

Token readToken(const QString& path) {
    Token out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error =
            QStringLiteral("--serve-token: cannot read %1: %2").arg(path, file.errorString());
        return out;
    }
    QByteArray token = file.read(kLongestToken + 2);
    if (const qsizetype end = token.indexOf('\n'); end >= 0) {
        token.truncate(end);
    }
    if (token.endsWith('\r')) {
        token.chop(1);
    }
    if (token.size() > kLongestToken) {
        out.error = QStringLiteral("--serve-token: the token in %1 is longer than %2 characters")
                        .arg(path)
                        .arg(kLongestToken);
    } else if (token.size() < kShortestToken) {
        out.error = QStringLiteral(
                        "--serve-token: the token in %1 is shorter than %2 characters; make one "
                        "with: head -c 24 /dev/urandom | base64 | tr '+/' '-_' > %1")
                        .arg(path)
                        .arg(kShortestToken);
    } else if (!std::all_of(token.cbegin(), token.cend(), isUrlSafe)) {
        out.error = QStringLiteral(
                        "--serve-token: the token in %1 may hold only letters, digits and - _ . ~ "
                        "(it is carried in a URL)")
                        .arg(path);
    } else {
        out.value = token;
    }
    return out;
}

bool sameToken(QByteArrayView expected, QByteArrayView given) {
    // Every byte of `expected` is looked at whatever `given` holds.
    unsigned difference = expected.size() == given.size() ? 0U : 1U;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const char other = i < given.size() ? given[i] : char(0);
        difference |= unsigned(static_cast<unsigned char>(expected[i] ^ other));
    }
    return difference == 0 && !expected.isEmpty();
}

QByteArrayList tokensOf(const QByteArray& query, const QByteArray& authorization,
                        const QByteArray& cookie) {
    QByteArrayList out;
    const QUrlQuery items(QString::fromLatin1(query));
    for (const QString& value : items.allQueryItemValues(QStringLiteral("token"))) {
        out << value.toLatin1();
    }
    const QByteArray bearer = authorization.trimmed();
    if (bearer.startsWith("Bearer ")) {
        out << bearer.mid(7).trimmed();
    }
    for (const QByteArray& part : cookie.split(';')) {
        const QByteArray pair = part.trimmed();
        const qsizetype equals = pair.indexOf('=');
        if (equals > 0 && pair.left(equals) == kCookie) {
            out << pair.mid(equals + 1);
        }
    }
    return out;
}

bool authorized(QByteArrayView expected, const QByteArrayList& given) {
    bool any = false;
    for (const QByteArray& token : given) {
        any = sameToken(expected, token) || any;
    }
    return any;
}

}  // namespace vx::serve
