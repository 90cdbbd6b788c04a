#include "serve/Browser.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

constexpr int kStartMs = 30'000;
constexpr int kCallMs = 10'000;

}  // namespace

Browser::Browser() {
    connect(&socket_, &QWebSocket::textMessageReceived, this, [this](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message.contains(QStringLiteral("id"))) {
            replies_.insert(message[QStringLiteral("id")].toInt(), message);
        }
    });
}

Browser::~Browser() {
    // Closed as a user closes it: its helper processes end with it, before
    // the profile folder goes.
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        call(QStringLiteral("Browser.close"));
    }
    socket_.abort();
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(5000)) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

bool Browser::start() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("chromium is not installed: bash scripts/deps.sh installs it");
        return false;
    }
    // Nothing but this machine: every name but the loopback's resolves to
    // nothing, and the browser's own background traffic is off.
    process_.start(
        program,
        {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
         QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
         QStringLiteral("--no-default-browser-check"),
         QStringLiteral("--disable-background-networking"),
         QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
         QStringLiteral("--disable-extensions"), QStringLiteral("--no-pings"),
         QStringLiteral("--hide-scrollbars"),
         QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1"),
         QStringLiteral("--remote-debugging-port=0"),
         QStringLiteral("--user-data-dir=") + profile_.path(), QStringLiteral("about:blank")});
    if (!process_.waitForStarted(kStartMs)) {
        error_ = QStringLiteral("chromium did not start: %1").arg(process_.errorString());
        return false;
    }
    static const QRegularExpression listening(QStringLiteral("DevTools listening on (ws://\\S+)"));
    QByteArray said;
    QString endpoint;
    [[maybe_unused]] const bool told = QTest::qWaitFor(
        [&] {
            said += process_.readAllStandardError();
            const auto match = listening.match(QString::fromUtf8(said));
            endpoint = match.hasMatch() ? match.captured(1) : QString();
            return !endpoint.isEmpty() || process_.state() == QProcess::NotRunning;
        },
        kStartMs);
    if (endpoint.isEmpty()) {
        error_ =
            QStringLiteral("chromium did not offer its DevTools: %1").arg(QString::fromUtf8(said));
        return false;
    }
    socket_.open(QUrl(endpoint));
    if (!QTest::qWaitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; },
                         kStartMs)) {
        error_ = QStringLiteral("cannot reach chromium's DevTools at %1").arg(endpoint);
        return false;
    }
    return true;
}

QJsonObject Browser::call(const QString& method, const QJsonObject& params, const QString& tab) {
    const int id = ++next_;
    QJsonObject message{{QStringLiteral("id"), id},
                        {QStringLiteral("method"), method},
                        {QStringLiteral("params"), params}};
    if (!tab.isEmpty()) {
        message.insert(QStringLiteral("sessionId"), tab);
    }
    socket_.sendTextMessage(
        QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
    if (!QTest::qWaitFor([&] { return replies_.contains(id); }, kCallMs)) {
        return {{QStringLiteral("error"), QStringLiteral("no answer to %1").arg(method)}};
    }
    return replies_.take(id);
}

QString Browser::open(const QString& url, int width, int height) {
    const QString target =
        call(
            QStringLiteral("Target.createTarget"),
            {{QStringLiteral("url"),
              QStringLiteral("about:blank")}})[QStringLiteral("result")][QStringLiteral("targetId")]
            .toString();
    const QString tab = call(QStringLiteral("Target.attachToTarget"),
                             {{QStringLiteral("targetId"), target},
                              {QStringLiteral("flatten"),
                               true}})[QStringLiteral("result")][QStringLiteral("sessionId")]
                            .toString();
    if (tab.isEmpty()) {
        return {};
    }
    call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
         {{QStringLiteral("width"), width},
          {QStringLiteral("height"), height},
          {QStringLiteral("deviceScaleFactor"), 1},
          {QStringLiteral("mobile"), width < 600}},
         tab);
    call(QStringLiteral("Page.navigate"), {{QStringLiteral("url"), url}}, tab);
    return tab;
}

void Browser::close(const QString& tab) {
    call(QStringLiteral("Page.close"), {}, tab);
}

QJsonValue Browser::evaluate(const QString& tab, const QString& expression) {
    return call(
        QStringLiteral("Runtime.evaluate"),
        {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
        tab)[QStringLiteral("result")][QStringLiteral("result")][QStringLiteral("value")];
}

bool Browser::waitFor(const QString& tab, const QString& expression, int timeoutMs) {
    return QTest::qWaitFor([&] { return evaluate(tab, expression).toBool(); }, timeoutMs);
}

QByteArray Browser::screenshot(const QString& tab) {
    return QByteArray::fromBase64(call(QStringLiteral("Page.captureScreenshot"),
                                       {{QStringLiteral("format"), QStringLiteral("png")}},
                                       tab)[QStringLiteral("result")][QStringLiteral("data")]
                                      .toString()
                                      .toLatin1());
}
