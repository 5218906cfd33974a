// The table of korvane's commands. Every help text, the README's command reference, the man page and
// the bash completion are made from these entries (see CommandDocs.cpp).
#include "cli/CommandTable.h"

#include "cli/Commands.h"

namespace korvane::cli {

namespace {

const OptionDoc kImageOutput{"-o OUT", "the image to write; its extension picks the format: .png, .jpg or .jpeg "
                                       "(JPEG at full quality, without alpha), .tif or .tiff; any other name "
                                       "is refused before the work starts"};
const OptionDoc kDepthOutput{"--depth DEPTH.tiff", "also write the depth of every pixel as a 32-bit float TIFF "
                                                   "(negative where the sky is seen)"};
const OptionDoc kNoPost{"--no-post", "leave out the scene's post-processing (depth of field, bloom, depth "
                                     "tint, vibrance)"};
const OptionDoc kQuality{"--quality L", "quality level 1-100 (default 3): path samples 6L-3, anti-aliasing "
                                        "passes L/1.5+1, light samples L/1.5+3, volume accuracy L/20+0.2 "
                                        "(at most 1)"};
const OptionDoc kWidth{"--width W", "image width in pixels (default 320)"};
const OptionDoc kHeight{"--height H", "image height in pixels (default 240)"};
const std::string kFillOptions =
    "[--fill steepness|height] [--type T] [--threshold X] [--strength S | --height H] [--paint-all DENSITY]";

std::vector<OptionDoc> smallObjectsOptions(const std::string& kinds) {
    return {
        {"--add KIND", "the kind of " + kinds + ": its class or display name (--list shows them)"},
        {"--fill steepness|height", "fill the density map from the terrain's steepness or height"},
        {"--type T", "with --fill steepness: 0 slopes, 1 flats; with --fill height: 0 around, 1 below, "
                     "2 above H"},
        {"--threshold X", "where the fill starts, 0-1"},
        {"--strength S", "strength of a steepness fill (0 or more)"},
        {"--height H", "height of a height fill, 0-1 of the full scale"},
        {"--paint-all DENSITY", "paint the whole map evenly with DENSITY (0-1) instead"},
        {"--list", "list the kinds: class name and display name"},
    };
}

}  // namespace

const std::vector<CommandDoc>& commandTable() {
    static const std::vector<CommandDoc> table = {
        {"info",
         {"FILE [--json]"},
         "show what a scene document holds",
         "Prints the size, the maximum terrain height, the layers and the post-processing settings of a "
         "document. With --json the output is one JSON object that also holds every field of the "
         "lighting, sky, fog, water, clouds, terrain, camera, texture, plants, rocks and objects layers.",
         {{"--json", "print one JSON object instead of text"}},
         {"korvane info lake.korvane --json"},
         runInfo},
        {"convert",
         {"IN OUT"},
         "write a document again in the current format",
         "Opens IN as the application opens it (a file without a fog layer gets one) and writes it to OUT "
         "in the current archive format.",
         {},
         {"korvane convert old.korvane new.korvane"},
         runConvert},
        {"new",
         {"FILE [--size W H] [--max-height H] [--force]"},
         "write a new document with the default layers",
         "Writes a new document with the default layers: terrain, terrain materials, water, sky, fog, "
         "clouds, lighting and camera. The camera stands inside the scene whatever its size. An existing "
         "file is replaced only with --force.",
         {{"--size W H", "the scene's size in scene units, each side 0.1-100 (default 10 10)"},
          {"--max-height H", "the height of the terrain's highest possible point, 0.01-10000"},
          {"--force", "replace an existing file"}},
         {"korvane new hills.korvane --size 20 12 --max-height 4"},
         runNew},
        {"set",
         {"FILE KEY=VALUE..."},
         "set fields by their model names",
         "Sets fields by their model names and saves. Keys: scene.size=W,H, scene.maxTerrainHeight, every "
         "post-processing field (scene.depthTint=true, scene.depthTintColor=r,g,b,a, ...), "
         "terrain.borderMode, terrain.smoothingFactor, camera.FIELD (points as x,y), water.FIELD, "
         "water.preset=KEY, sky.FIELD, fog.FIELD, lighting.sun.FIELD; an unknown key lists the fields of "
         "its family. Heights lie within 0-10000. Every key and value is checked before the document is "
         "opened; a refused one is named and the file stays untouched.",
         {},
         {"korvane set lake.korvane water.active=true water.height=0.3 fog.density=0.2"},
         runSet},
        {"lights",
         {"FILE --add directional|point [--direction x,y | --position x,y] [--power P] [--color r,g,b[,a]] [--shadow-angle A] [--height H] [--name NAME]"},
         "add a light",
         "Adds a directional or a point light after the sun of the lighting layer, with a new light's "
         "defaults for what the options leave out.",
         {{"--add directional|point", "the kind of light"},
          {"--direction x,y", "a directional light's direction, a point of the unit disc"},
          {"--position x,y", "a point light's plan position"},
          {"--power P", "the light's power (0 or more)"},
          {"--color r,g,b[,a]", "the light's colour, components 0-1"},
          {"--shadow-angle A", "a directional light's shadow angle in degrees"},
          {"--height H", "a point light's height above the ground or water under it, 0-10000"},
          {"--name NAME", "the name shown for the light"}},
         {"korvane lights lake.korvane --add point --position 4,6 --power 3 --height 0.5"},
         runLights},
        {"clouds",
         {"FILE --add [--box x0,y0,x1,y1] [--height H] [--above A] [--density D] [--cover C] [--sharpness S] [--edge-mode 0|1]"},
         "add a cloud",
         "Adds a cloud to the clouds layer over the footprint --box, its band from A to A + H, with a new "
         "cloud's defaults for what the options leave out.",
         {{"--add", "add a cloud"},
          {"--box x0,y0,x1,y1", "the cloud's plan footprint"},
          {"--height H", "the thickness of the cloud band, 0-10000"},
          {"--above A", "the height of the band's bottom above the ground, 0-10000"},
          {"--density D", "density (0 or more)"},
          {"--cover C", "cover"},
          {"--sharpness S", "sharpness of the edges (0 or more)"},
          {"--edge-mode 0|1", "how the edges fade"}},
         {"korvane clouds lake.korvane --add --box 1,1,6,4 --above 2 --height 1"},
         runClouds},
        {"materials",
         {"FILE --preset KEY [-o OUT]", "--list"},
         "rebuild the terrain materials from a preset",
         "Rebuilds the terrain's material maps from a texture-layer preset (materials and masks filled "
         "from slope and height) and saves; --list shows the presets' keys and names.",
         {{"--preset KEY", "the preset (--list shows them)"},
          {"-o OUT", "write the document to OUT instead of FILE"},
          {"--list", "list the presets: key and name"}},
         {"korvane materials lake.korvane --preset earthrocks"},
         runMaterials},
        {"render",
         {"FILE -o OUT [--quality L] [--width W] [--height H] [--preview] [--renderer direct|path] [--threads N] [--no-post] [--depth DEPTH.tiff] [--trace CALLS.txt [--trace-geometry full]] [--region X0,Y0,X1,Y1]"},
         "render a scene document to an image",
         "Renders the scene at a quality level (default 3, 320x240), applies its post-processing and "
         "writes the image. Progress goes to standard error: a bar on a terminal, one line per pass "
         "otherwise. With --region it renders only that pixel rectangle of the frame into a tile file "
         "(OUT must end in .kvtile; its film before denoising and post-processing) for korvane merge.",
         {kImageOutput, kQuality, kWidth, kHeight,
          {"--preview", "render as the preview does: level 1 unless --quality is given, preview detail"},
          {"--renderer direct|path", "direct lighting (default) or path tracing"},
          {"--threads N", "render threads (default one per processor)"},
          kNoPost, kDepthOutput,
          {"--trace CALLS.txt", "write every call made on the ray tracer"},
          {"--trace-geometry full", "trace every vertex and triangle instead of a summary per mesh"},
          {"--region X0,Y0,X1,Y1", "render only this rectangle of whole pixels into the tile file OUT.kvtile"}},
         {"korvane render lake.korvane -o lake.png --quality 4 --width 1280 --height 720"},
         runRender},
        {"merge",
         {"FILE TILE... -o OUT [--no-post] [--depth DEPTH.tiff]"},
         "put the tiles of render --region together",
         "Checks that the tiles of FILE cover its frame exactly once, puts them together, denoises and "
         "post-processes the whole frame once and writes it like render: equal, byte for byte, to a "
         "direct render.",
         {kImageOutput, kNoPost, kDepthOutput},
         {"korvane merge lake.korvane left.kvtile right.kvtile -o lake.png"},
         runMerge},
        {"farm",
         {"FILE -o OUT --tiles N [--quality L] [--width W] [--height H] [--partition P] [--korvane PROGRAM] [--dry-run]",
          "--status JOBID"},
         "render in tiles on a Slurm cluster",
         "Renders in N tiles on a Slurm cluster and merges them into OUT; prints the job ids (see "
         "\"Rendering on a cluster\" in the README). --status shows how far a farm render has come.",
         {kImageOutput,
          {"--tiles N", "the number of tiles, 1-10000"},
          kQuality, kWidth, kHeight,
          {"--partition P", "the Slurm partition"},
          {"--korvane PROGRAM", "korvane as the nodes run it (default this program)"},
          {"--dry-run", "print the submit script instead of running it"},
          {"--status JOBID", "show the progress of a farm render"}},
         {"korvane farm lake.korvane -o /shared/lake.png --tiles 16 --quality 6 --dry-run"},
         runFarm},
        {"heightmap",
         {"FILE --import IMAGE [-o OUT]", "FILE --export OUT.png"},
         "load or save the terrain heightmap",
         "--import draws a PNG, JPEG or TIFF picture (any bit depth) into the terrain, scaled to the "
         "heightmap, its top row at the top of the plan; --export writes the heightmap as a 16-bit grey "
         "PNG (importing it gives the same map bit for bit).",
         {{"--import IMAGE", "the picture to draw into the terrain"},
          {"-o OUT", "with --import: write the document to OUT instead of FILE"},
          {"--export OUT.png", "write the heightmap; the name must end in .png"}},
         {"korvane heightmap lake.korvane --export lake-heights.png"},
         runHeightmap},
        {"terrain",
         {"FILE OP... [-o OUT]"},
         "generate and filter the terrain",
         "Runs terrain operations on the heightmap in the order given and saves. Each operation is "
         "announced as it starts.",
         {{"--fractal TAG --large L --small S [--seed N]",
           "replace the terrain by a fractal one; TAG 0 central peak, 1 raised band, 2 meandering valley, "
           "3 valley to plateau, 4 two peaks, 256 the current terrain; roughness L, S in 0-1"},
          {"--noise MODE --strength S --frequency F --octaves O",
           "gradient noise; MODE blend, add or subtract (or 0, 1, 2); S in 0-1, F above 0, O in 0-32"},
          {"--clamp BOTTOM TOP", "limit heights to BOTTOM-TOP (fractions of the maximum height, 0-1)"},
          {"--equalize S", "raise the contrast by 1 + 5 S (S in 0-1)"},
          {"--flats S", "flat polygonal cells of radius 50 S (S in 0-1)"},
          {"--erode DROPS STRENGTH", "rain-drop erosion with DROPS drops (0-1000000), STRENGTH in 0-1"},
          {"-o OUT", "write the document to OUT instead of FILE"}},
         {"korvane terrain hills.korvane --fractal 0 --large 0.6 --small 0.4 --flats 0.2"},
         runTerrain},
        {"objects",
         {"FILE --add-3ds PATH|--add-library NAME [--at X,Y] [--scale S] [--rotate DEG] [--lift H]",
          "--library"},
         "add an imported object",
         "Adds an object (made of a 3DS file, or one of the library's) to the objects layer, made when "
         "missing. The 3DS file is read by korvane import-3ds in a child process.",
         {{"--add-3ds PATH", "the 3DS file to import"},
          {"--add-library NAME", "the library object to add (--library lists them)"},
          {"--at X,Y", "plan position (default 5,5)"},
          {"--scale S", "the object's largest extent in scene units (above 0)"},
          {"--rotate DEG", "turn the object DEG degrees clockwise"},
          {"--lift H", "lift the object H above the terrain"},
          {"--library", "list the library's objects (resources/MeshObjectLibrary)"}},
         {"korvane objects lake.korvane --add-library Boulder --at 3,7 --scale 0.4"},
         runObjects},
        {"import-3ds",
         {"IN.3ds OUT"},
         "read a 3DS file into a single-object archive",
         "Reads a 3DS file with lib3ds, renders the object's two thumbnails and writes it as a "
         "single-object archive. korvane objects runs it as a child process, so a damaged file that "
         "crashes lib3ds is reported instead of taking the tool down.",
         {},
         {"korvane import-3ds boat.3ds boat.object"},
         runImport3ds},
        {"plants",
         {"FILE --add KIND " + kFillOptions, "--list"},
         "add a grass, wheat or leaves layer",
         "Adds a plants layer of KIND whose density map is painted evenly with DENSITY, filled from the "
         "terrain's steepness or height, or left empty. --type, --threshold, --strength and --height go "
         "with --fill; --paint-all goes without it.",
         smallObjectsOptions("plants"),
         {"korvane plants lake.korvane --add GreenGrassPlant --fill steepness --type 1"},
         runPlants},
        {"rocks",
         {"FILE --add KIND " + kFillOptions, "--list"},
         "add a rocks layer",
         "Adds a rocks layer of KIND whose density map is painted evenly with DENSITY, filled from the "
         "terrain's steepness or height, or left empty. --type, --threshold, --strength and --height go "
         "with --fill; --paint-all goes without it.",
         smallObjectsOptions("rocks"),
         {"korvane rocks lake.korvane --add SmallRock --paint-all 0.2"},
         runRocks},
    };
    return table;
}

const CommandDoc* findCommand(const std::string& name) {
    for (const CommandDoc& command : commandTable()) {
        if (command.name == name) return &command;
    }
    return nullptr;
}

const std::vector<OptionDoc>& globalOptions() {
    static const std::vector<OptionDoc> options = {
        {"--help, -h", "show the help of korvane or, after a command, of that command"},
        {"--version", "show korvane's version"},
        {"--quiet, -q", "print only results and errors: no progress, no \"wrote FILE\" lines"},
        {"--verbose", "also print the ray tracer's and the renderer's diagnostics on standard error; "
                      "unused-parameter warnings are counted and shown once per plug-in kind"},
    };
    return options;
}

}  // namespace korvane::cli
