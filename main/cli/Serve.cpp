#include "cli/Serve.h"

#include <memory>

#include "cli/Runner.h"
#include "plugin/Plugin.h"
#include "serve/Entry.h"

namespace vx::cli {

bool addServe(Runner& runner, const serve::Config& config, QString* error) {
    QString why;
    const auto entry =
        reinterpret_cast<serve::Entry>(plugin::resolve(serve::kModule, serve::kEntry, &why));
    if (entry == nullptr) {
        *error = QStringLiteral("--serve: %1").arg(why);
        return false;
    }
    runner.addSink(std::unique_ptr<feed::Sink>(entry(config, runner)));
    return true;
}

}  // namespace vx::cli
