#include "link/NetworkConnect.h"

#include "plugin/Plugin.h"

namespace vx::link {

namespace {

NetworkConnector chosen = nullptr;

}  // namespace

void setNetworkConnector(NetworkConnector connector) {
    chosen = connector;
}

NetworkConnector networkConnector(QString* error) {
    if (chosen != nullptr) {
        return chosen;
    }
    // The module stays loaded once found, and resolve() hands back the same
    // entry every time; it is asked again after a failure, so a module put in
    // place later is still found.
    QString why;
    const QString module = QString::fromLatin1(kNetworkModule);
    const auto entry = reinterpret_cast<NetworkEntry>(plugin::resolve(module, kNetworkEntry, &why));
    if (entry == nullptr) {
        if (error != nullptr) {
            *error = QStringLiteral("network ports need the module %1: %2").arg(module, why);
        }
        return nullptr;
    }
    chosen = entry();
    return chosen;
}

}  // namespace vx::link
