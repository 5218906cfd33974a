// korvane-docs: writes the texts made from korvane's command table. `korvane-docs man FILE` and
// `korvane-docs bash-completion FILE` run at build time; `korvane-docs readme` prints the command
// reference that README.md's "The command-line tool" holds between its markers.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/CommandTable.h"

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    std::string text;
    if (what == "man") {
        text = korvane::cli::manPage();
    } else if (what == "bash-completion") {
        text = korvane::cli::bashCompletion();
    } else if (what == "readme" && argc == 2) {
        std::cout << korvane::cli::readmeCommandReference();
        return 0;
    } else {
        std::cerr << "usage: korvane-docs man FILE | bash-completion FILE | readme\n";
        return 2;
    }
    if (argc != 3) {
        std::cerr << "korvane-docs: " << what << ": no output file given\n";
        return 2;
    }
    const std::filesystem::path path = argv[2];
    std::error_code ignored;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file.flush()) {
        std::cerr << "korvane-docs: " << path.string() << ": cannot write\n";
        return 1;
    }
    return 0;
}
