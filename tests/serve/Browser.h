#pragma once

// Debian's chromium, headless, driven over its DevTools protocol: the live
// page's tests open it as a viewer would and read what it shows.
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebSocket>

class Browser : public QObject {
    Q_OBJECT
public:
    Browser();
    ~Browser() override;

    // Starts the browser; false, with error(), when it cannot.
    bool start();
    QString error() const { return error_; }

    // A new tab at `url`, `width` CSS pixels wide; its session, or empty.
    QString open(const QString& url, int width = 1200, int height = 900);
    void close(const QString& tab);
    // The value of `expression` in the tab's page.
    QJsonValue evaluate(const QString& tab, const QString& expression);
    // Waits, bounded, until `expression` is true in the tab's page.
    bool waitFor(const QString& tab, const QString& expression, int timeoutMs = 10000);
    // The tab as a PNG.
    QByteArray screenshot(const QString& tab);

private:
    QJsonObject call(const QString& method, const QJsonObject& params = {},
                     const QString& tab = {});

    QProcess process_;
    QTemporaryDir profile_;
    QWebSocket socket_;
    QHash<int, QJsonObject> replies_;
    int next_ = 0;
    QString error_;
};
