#include <zt/version.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "shell/application.h"

namespace {

QtMessageHandler g_qtDefault = nullptr;

// Qt aborts when it cannot open the display (none set, or the server not
// accepting yet); a start ends with a plain error and exit code 1 instead.
void StartMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (g_qtDefault) g_qtDefault(type, context, text);
        return;
    }
    std::fprintf(stderr, "cindral: cannot start: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    QStringList given;
    for (int i = 0; i < argc; ++i) given << QString::fromLocal8Bit(argv[i]);
    const cindral::CommandLine early = cindral::ParseCommandLine(given);
    if (early.help) {
        std::fputs(early.helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (early.version) {
        std::printf("cindral %s\n", ZT_VERSION);
        return 0;
    }
    g_qtDefault = qInstallMessageHandler(StartMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtDefault);
    QApplication::setApplicationName(QStringLiteral("cindral"));
    // Qt has taken its own options out of the list by now.
    cindral::CommandLine cl = cindral::ParseCommandLine(QApplication::arguments());
    if (!cl.error.isEmpty()) {
        std::fprintf(stderr, "cindral: %s\nRun 'cindral --help' for the options.\n",
                     cl.error.toLocal8Bit().constData());
        return 2;
    }
    // The library reads the variable when it first enumerates, which the main
    // window does when it is built below.
    if (cl.simulate) cindral::EnableSimulation();
    cindral::CZeltra_NVM_BurnerApp theApp;
    return theApp.InitInstance();
}
