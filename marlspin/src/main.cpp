#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "failure.h"

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args(argv, argv + argc);
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
