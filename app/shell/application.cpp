#include "shell/application.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdlib>

#include "core/ordwin_binding.h"
#include "shell/main_window.h"
#include "shell/qt_ports.h"

namespace cindral {

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine cl;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--simulate")) {
            cl.simulate = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            cl.help = true;
        } else {
            cl.error = QStringLiteral("Unknown argument: ") + a;
            break;
        }
    }
    return cl;
}

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

int CZeltra_NVM_BurnerApp::InitInstance() {
    QtMessagePort messages;
    QtFileDialogPort files;
    QtSleepPort sleep;
    QtMessagePump pump;
    QtProgressPort progress;
    OrdwinBinding ordwin;
    OrdwinHostUiBridge hostUi(messages, progress, &pump);

    CZeltra_NVM_BurnerDlg dlg(ordwin, Ports{messages, files, sleep, pump});
    messages.SetParent(&dlg);
    files.SetParent(&dlg);
    progress.SetMainWindow(&dlg);
    dlg.exec();
    // The application ends when its main window does.
    return 0;
}

}  // namespace cindral
