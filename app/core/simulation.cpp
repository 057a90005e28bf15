#include "simulation.h"

#include <QDir>
#include <QStandardPaths>
#include <cstdlib>

namespace cindral {

std::string SimulatedAdapters(const QString& dir) {
    const QString base = QDir(dir).absolutePath();
    return (QStringLiteral("VZ0001:state=") + base + QStringLiteral("/VZ0001;VZ0002:state=") +
            base + QStringLiteral("/VZ0002"))
        .toStdString();
}

std::optional<QString> EnableSimulation() {
    if (std::getenv("WICKPORT_VIRTUAL") != nullptr) return std::nullopt;
    QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share/cindral");
    const QString dir = data + QStringLiteral("/virtual");
    QDir().mkpath(dir);
    setenv("WICKPORT_VIRTUAL", SimulatedAdapters(dir).c_str(), 1);
    return dir;
}

}  // namespace cindral
