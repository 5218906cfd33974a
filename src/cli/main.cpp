#include <iostream>

#include "cli/Commands.h"
#include "foundation/MemoryReuse.h"
#include "foundation/SettingsUserDefaults.h"

int main(int argc, char** argv) {
    korvane::keepFreedMemoryForReuse();
    // The tool reads the same stored settings (render settings, tool defaults) as the application.
    korvane::UserDefaults::setStandard(std::make_unique<korvane::SettingsUserDefaults>());
    std::vector<std::string> args(argv + 1, argv + argc);
    return korvane::cli::runCommandLine(args, std::cout, std::cerr);
}
