// The application object: command line, virtual adapters on request, the
// library's host UI, and the modal run of the main window.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace cindral {

struct CommandLine {
    bool simulate = false;
    bool help = false;
    QString error;  // non-empty when the command line was refused
};

CommandLine ParseCommandLine(const QStringList& arguments);

// The WICKPORT_VIRTUAL value for two virtual adapters whose chips persist under `dir`.
std::string SimulatedAdapters(const QString& dir);
// Sets WICKPORT_VIRTUAL when it is not set yet; returns the directory used, if any.
std::optional<QString> EnableSimulation();

class CZeltra_NVM_BurnerApp {
  public:
    // Runs the main window modally; the exit code of the program.
    int InitInstance();
};

}  // namespace cindral
