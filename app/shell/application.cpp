#include "shell/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>

#include "core/ordwin_binding.h"
#include "shell/main_window.h"
#include "shell/qt_ports.h"

namespace cindral {

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine cl;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Cindral: compose Zeltra NVM burn files, burn them, read and write the "
                       "chip's MTP and check its CRCs through USB debug adapters."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Print the program's name and version."));
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Use two virtual adapters (VZ0001, VZ0002) whose chips persist under "
                       "the user's data directory, unless WICKPORT_VIRTUAL is set."));
    parser.addOptions({help, version, simulate});
    if (!parser.parse(arguments)) {
        cl.error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        cl.error = QStringLiteral("Unknown argument: ") + parser.positionalArguments().first();
    }
    cl.help = parser.isSet(help);
    cl.version = parser.isSet(version);
    cl.simulate = parser.isSet(simulate);
    // The text names the program as users start it, not as the test runner is named.
    cl.helpText = parser.helpText().replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                                            QStringLiteral("Usage: cindral"));
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
