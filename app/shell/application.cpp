#include "shell/application.h"

#include <QApplication>

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

int CZeltra_NVM_BurnerApp::InitInstance() {
    QtMessagePort messages;
    QtFileDialogPort files;
    QtSleepPort sleep;
    QtMessagePump pump;
    QtProgressPort progress;
    OrdwinBinding ordwin;
    CZeltra_NVM_BurnerDlg dlg(ordwin, Ports{messages, files, sleep, pump});
    // The library's boxes pass the window's port, which tells a lost adapter once.
    OrdwinHostUiBridge hostUi(dlg.Messages(), progress, &pump);
    messages.SetParent(&dlg);
    files.SetParent(&dlg);
    progress.SetMainWindow(&dlg);
    dlg.exec();
    // The application ends when its main window does.
    return 0;
}

}  // namespace cindral
