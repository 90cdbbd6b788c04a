#include "plugin/Plugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>

#include <memory>

namespace vx::plugin {

QStringList folders() {
    const QString own = QCoreApplication::applicationDirPath();
    return {own, QDir::cleanPath(own + QStringLiteral("/../lib/vxmeter"))};
}

QFunctionPointer resolve(QStringView name, const char* symbol, QString* error) {
    // Loaded modules stay loaded for the life of the process: their code may
    // sit on any stack and in any object they handed out. The table is never
    // destroyed either, so they stay reachable to the end (no leak to report).
    static auto* const loaded = new QHash<QString, QLibrary*>;
    const QString file = name.toString() + QStringLiteral(".so");
    QLibrary* library = loaded->value(file);
    if (library == nullptr) {
        QString path;
        for (const QString& folder : folders()) {
            const QFileInfo candidate(folder + QLatin1Char('/') + file);
            if (candidate.isFile()) {
                path = candidate.absoluteFilePath();
                break;
            }
        }
        if (path.isEmpty()) {
            if (error != nullptr) {
                *error = QStringLiteral("the module %1 is not installed (looked in %2)")
                             .arg(file, folders().join(QStringLiteral(", ")));
            }
            return nullptr;
        }
        auto fresh = std::make_unique<QLibrary>(path);
        fresh->setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!fresh->load()) {
            if (error != nullptr) {
                *error = QStringLiteral("cannot load %1: %2").arg(path, fresh->errorString());
            }
            return nullptr;
        }
        library = fresh.release();
        loaded->insert(file, library);
    }
    const QFunctionPointer entry = library->resolve(symbol);
    if (entry == nullptr && error != nullptr) {
        *error = QStringLiteral("%1 has no entry %2")
                     .arg(library->fileName(), QString::fromLatin1(symbol));
    }
    return entry;
}

}  // namespace vx::plugin
