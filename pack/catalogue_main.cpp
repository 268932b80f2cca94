// vtlcatalogue: writes the catalogue export (pack/catalogue_export.h) to the
// file named on the command line. The build runs it; the Maven plugin
// carries its output.
#include <fstream>
#include <iostream>

#include "pack/catalogue_export.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: vtlcatalogue OUTPUT\n";
        return 2;
    }
    std::string text = exportCatalogue();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::cerr << "vtlcatalogue: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
