#include <QApplication>
#include <cstdio>

#include "shell/application.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cindral"));
    // Qt has taken its own options out of the list by now.
    cindral::CommandLine cl = cindral::ParseCommandLine(QApplication::arguments());
    if (!cl.error.isEmpty()) {
        std::fprintf(stderr, "cindral: %s\nusage: cindral [--simulate]\n",
                     cl.error.toLocal8Bit().constData());
        return 2;
    }
    if (cl.help) {
        std::printf(
            "usage: cindral [--simulate]\n"
            "  --simulate  use two virtual adapters (VZ0001, VZ0002) whose chips persist\n"
            "              under the user's data directory, unless WICKPORT_VIRTUAL is set\n");
        return 0;
    }
    // The library reads the variable when it first enumerates, which the main
    // window does when it is built below.
    if (cl.simulate) cindral::EnableSimulation();
    cindral::CZeltra_NVM_BurnerApp theApp;
    return theApp.InitInstance();
}
