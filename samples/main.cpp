// wertowik-samples OUT: writes the sample cover discs as folders below OUT.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "disc_writer.h"

int main(int argc, char** argv) {
    constexpr char kUsage[] = "usage: wertowik-samples OUT (writes the sample discs as folders below OUT)\n";
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    // Anything else that looks like an option is not taken for a folder name.
    if (argc != 2 || argv[1][0] == '-') {
        std::cerr << kUsage;
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
