#include <iostream>

#include "zeltra_sim.h"

int main(int argc, char** argv) {
    return zsim::ZeltraSimMain(argc, argv, std::cout, std::cerr);
}
