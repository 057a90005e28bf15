// A child for the process tests: echoes its arguments to standard output, one
// line each in brackets, says one line on standard error, reads standard
// input to its end, and exits with the code given first. "wait" as that code
// makes it stay until killed; "piped" makes it write 20000 more bytes of
// output, leave standard input alone and exit with 3.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "wait") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
        return 0;
    }
    const bool piped = argc > 1 && std::strcmp(argv[1], "piped") == 0;
    for (int i = 2; i < argc; ++i) std::printf("[%s]\n", argv[i]);
    if (piped) std::fputs(std::string(20000, 'x').c_str(), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "to stderr\n");
    if (piped) return 3;
    // The null device ends at once; a console or pipe left open would hang here.
    while (std::getchar() != EOF) {
    }
    return argc > 1 ? std::atoi(argv[1]) : 0;
}
