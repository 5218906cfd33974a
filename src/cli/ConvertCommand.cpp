// `korvane convert IN OUT`: decodes a document and writes it again in the current format.
#include "cli/Commands.h"
#include "scene/SceneFile.h"

namespace korvane::cli {

int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) {
        err << "usage: korvane convert IN OUT\n";
        return 2;
    }
    const std::string& input = args[0];
    const std::string& output = args[1];
    SceneReadResult result = readSceneFile(input);
    if (!result.scene) {
        err << "korvane: " << input << ": " << result.error << "\n";
        return 1;
    }
    std::string error;
    if (!writeSceneFile(*result.scene, output, &error)) {
        err << "korvane: " << output << ": " << error << "\n";
        return 1;
    }
    out << "wrote " << output << "\n";
    return 0;
}

}  // namespace korvane::cli
