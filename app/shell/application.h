// The application object: command line, virtual adapters on request, the
// library's host UI, and the modal run of the main window.
#pragma once

#include <QString>
#include <QStringList>

#include "core/simulation.h"

namespace cindral {

struct CommandLine {
    bool simulate = false;
    bool help = false;
    bool version = false;
    QString helpText;  // what --help prints
    QString error;     // non-empty when the command line was refused
};

CommandLine ParseCommandLine(const QStringList& arguments);

class CZeltra_NVM_BurnerApp {
  public:
    // Runs the main window modally; the exit code of the program.
    int InitInstance();
};

}  // namespace cindral
