// mkhelp <source.txt> <Help.mhf>: builds the program's help file from its readable source.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "mkhelp/MkHelp.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: mkhelp <source.txt> <Help.mhf>\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "mkhelp: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto source = mkhelp::readSource(text);
    if (const auto* error = std::get_if<mkhelp::SourceError>(&source)) {
        std::cerr << argv[1] << ":" << error->line << ": " << error->message << "\n";
        return 1;
    }
    const auto bytes = mkhelp::writeHelpFile(std::get<mkhelp::Source>(source));
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "mkhelp: cannot write " << argv[2] << "\n";
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
