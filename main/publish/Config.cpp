#include "publish/Config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>

namespace vx::publish {

QString readUrl(const QString& text, Config& config) {
    config.url = text;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const QString form = QStringLiteral(
                             "--mqtt: \"%1\" is not mqtt://HOST[:PORT]/PREFIX or "
                             "mqtts://HOST[:PORT]/PREFIX")
                             .arg(text);
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) ||
        url.host().isEmpty()) {
        return form;
    }
    if (!url.userInfo().isEmpty()) {
        return QStringLiteral(
                   "--mqtt: credentials never go on the command line (others can read it); put "
                   "them "
                   "in a file for --mqtt-auth, or in %1 and %2")
            .arg(QLatin1String(kUserVariable), QLatin1String(kPasswordVariable));
    }
    if (url.hasQuery() || url.hasFragment()) {
        return form;
    }
    config.tls = scheme == QLatin1String("mqtts");
    config.host = url.host();
    config.port = url.port(config.tls ? 8883 : 1883);
    if (config.port <= 0) {
        return QStringLiteral("--mqtt: port %1 is not one of 1 to 65535").arg(config.port);
    }
    QString prefix = url.path();
    while (prefix.startsWith(u'/')) {
        prefix.remove(0, 1);
    }
    while (prefix.endsWith(u'/')) {
        prefix.chop(1);
    }
    if (prefix.isEmpty()) {
        prefix = QStringLiteral("vxlog");
    }
    if (prefix.contains(u'+') || prefix.contains(u'#') || prefix.startsWith(u'$') ||
        prefix.contains(QLatin1String("//")) || prefix.contains(QChar(0))) {
        return QStringLiteral(
                   "--mqtt: the topic prefix \"%1\" may not hold + or #, an empty level, or "
                   "start with $")
            .arg(prefix);
    }
    config.prefix = prefix;
    return {};
}

QString readAuthFile(const QString& path, Config& config, QStringList* notes) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("--mqtt-auth: cannot read %1").arg(path);
    }
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & S_IROTH) != 0 &&
        notes != nullptr) {
        *notes << QStringLiteral(
                      "--mqtt-auth: everyone on this machine can read %1; "
                      "chmod 600 it")
                      .arg(path);
    }
    const QByteArray all = file.read(1 << 16);
    int number = 0;
    for (const QByteArray& raw : all.split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const QString key = line.section(u'=', 0, 0).trimmed();
        const QString value = line.section(u'=', 1).trimmed();
        if (!line.contains(u'=') ||
            (key != QLatin1String("username") && key != QLatin1String("password"))) {
            return QStringLiteral(
                       "--mqtt-auth: line %1 of %2 is not username=NAME or password=SECRET")
                .arg(number)
                .arg(path);
        }
        (key == QLatin1String("username") ? config.username : config.password) = value;
    }
    if (config.username.isEmpty()) {
        return QStringLiteral("--mqtt-auth: %1 has no username=NAME line").arg(path);
    }
    return {};
}

qint64 readSize(const QString& text) {
    QString t = text.trimmed().toUpper();
    int shift = 0;
    if (t.endsWith(u'K') || t.endsWith(u'M') || t.endsWith(u'G')) {
        shift = t.endsWith(u'K') ? 10 : t.endsWith(u'M') ? 20 : 30;
        t.chop(1);
    }
    bool ok = false;
    const qint64 n = t.toLongLong(&ok);
    if (!ok || n < 0 || n > (qint64(1) << (62 - shift))) {
        return -1;
    }
    return n << shift;
}

QString defaultJournal(const Config& config) {
    QString folder = qEnvironmentVariable("XDG_STATE_HOME");
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        folder = QDir::homePath() + QStringLiteral("/.local/state");
    }
    QString name =
        QStringLiteral("mqtt-%1-%2-%3").arg(config.host).arg(config.port).arg(config.prefix);
    for (QChar& c : name) {
        if (!(c.isLetterOrNumber() || c == u'-' || c == u'.' || c == u'_')) {
            c = u'_';
        }
    }
    return folder + QStringLiteral("/vxlog/") + name + QStringLiteral(".journal");
}

}  // namespace vx::publish
