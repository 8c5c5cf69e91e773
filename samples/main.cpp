// wertowik-samples OUT: writes the sample cover discs as folders below OUT.
#include <exception>
#include <filesystem>
#include <iostream>

#include "disc_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: wertowik-samples OUT\n";
        return 64;
    }
    try {
        const std::filesystem::path out = argv[1];
        samples::MakeEnterDiscs(out);
        samples::MakeNameDiscs(out);
        samples::MakeKsDiscs(out);
        samples::MakeChipDiscs(out);
    } catch (const std::exception& problem) {
        std::cerr << "wertowik-samples: " << problem.what() << '\n';
        return 70;
    }
    return 0;
}
