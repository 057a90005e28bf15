#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "failure.h"
#include "zt/platform/process.h"

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args = zt::platform::ProgramArguments(argc, argv);
        int code = marlspin::Run(args, std::cout, std::cerr);
        std::cout.flush();
        return code;
    } catch (const std::exception& e) {
        std::cerr << "marlspin: unhandled exception: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "marlspin: unhandled exception\n";
    }
    return marlspin::kExitUnhandled;
}
