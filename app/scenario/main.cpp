// taktomat-scenario [--dir DIR] FILE...   ("-" reads standard input)
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/scenario/runner.h"

int main(int argc, char** argv) {
    using tt::scenario::Outcome;
    std::optional<std::filesystem::path> dir;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--dir") {
            if (i + 1 == argc) {
                std::cerr << "taktomat-scenario: --dir needs a folder\n";
                return 2;
            }
            dir = argv[++i];
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << "usage: taktomat-scenario [--dir DIR] FILE...   (- reads standard input)\n";
        return 2;
    }
    for (const auto& file : files) {
        std::string text;
        if (file == "-") {
            text.assign(std::istreambuf_iterator<char>(std::cin), {});
        } else {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::cerr << file << ": cannot be read\n";
                return 2;
            }
            std::ostringstream buffer;
            buffer << in.rdbuf();
            text = buffer.str();
        }
        const Outcome outcome = tt::scenario::RunScript(file, text, dir, std::cout, std::cerr);
        if (outcome != Outcome::Passed) return static_cast<int>(outcome);
    }
    return 0;
}
