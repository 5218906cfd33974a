#include "cli/Commands.h"

namespace korvane::cli {

namespace {
constexpr const char* kUsage =
    "usage: korvane COMMAND [ARGS]\n"
    "commands:\n"
    "  info FILE [--json]   size, terrain height, post-processing and layers of a scene document\n"
    "  convert IN OUT       decode a document and write it again in the current format\n"
    "  materials FILE --preset KEY | --list   rebuild the terrain materials from a preset\n"
    "  new FILE [--size W H] [--max-height H] [--force]\n"
    "                       write a new document with the default layers\n"
    "  set FILE KEY=VALUE...  set fields by name (scene.size=W,H, water.height=0.3, ...)\n"
    "  lights FILE --add directional|point [OPTIONS]   add a light\n"
    "  clouds FILE --add [OPTIONS]   add a cloud\n"
    "  render FILE -o OUT   render a scene document to a PNG, JPEG or TIFF image\n"
    "  merge FILE TILE... -o OUT   put tiles of render --region together and post-process them\n"
    "  farm FILE -o OUT --tiles N [--dry-run] | --status JOBID   render in tiles on a Slurm cluster\n"
    "  heightmap FILE --import IMAGE [-o OUT] | --export OUT.png   load or save the terrain heightmap\n"
    "  terrain FILE OP... [-o OUT]   fractal, noise, clamp, equalize, flats and erode the terrain\n"
    "  objects FILE --add-3ds PATH|--add-library NAME [--at X,Y] [--scale S] [--rotate DEG] [--lift H]\n"
    "                       add an imported object; objects --library lists the prepared ones\n"
    "  import-3ds IN.3ds OUT   read a 3DS file into a single-object archive (run by objects)\n"
    "  plants FILE --add KIND [--fill steepness|height ...] [--paint-all D]   add grass, wheat or leaves\n"
    "  rocks FILE --add KIND [--fill steepness|height ...] [--paint-all D]   add small rocks\n";
}

int runCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? 2 : 0;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info") return runInfo(rest, out, err);
    if (args[0] == "convert") return runConvert(rest, out, err);
    if (args[0] == "materials") return runMaterials(rest, out, err);
    if (args[0] == "new") return runNew(rest, out, err);
    if (args[0] == "set") return runSet(rest, out, err);
    if (args[0] == "lights") return runLights(rest, out, err);
    if (args[0] == "clouds") return runClouds(rest, out, err);
    if (args[0] == "render") return runRender(rest, out, err);
    if (args[0] == "merge") return runMerge(rest, out, err);
    if (args[0] == "farm") return runFarm(rest, out, err);
    if (args[0] == "heightmap") return runHeightmap(rest, out, err);
    if (args[0] == "terrain") return runTerrain(rest, out, err);
    if (args[0] == "objects") return runObjects(rest, out, err);
    if (args[0] == "import-3ds") return runImport3ds(rest, out, err);
    if (args[0] == "plants") return runPlants(rest, out, err);
    if (args[0] == "rocks") return runRocks(rest, out, err);
    err << "korvane: unknown command '" << args[0] << "'\n" << kUsage;
    return 2;
}

}  // namespace korvane::cli
