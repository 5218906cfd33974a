// `korvane new FILE [--size W H] [--max-height H] [--force]`: writes a new document with the
// default layer stack. An existing file is only replaced with --force.
#include <filesystem>

#include "cli/CommandArguments.h"
#include "cli/Commands.h"
#include "cli/FieldFamilies.h"
#include "cli/LayerFields.h"
#include "scene/layers/camera/CameraLayer.h"
#include "document/Document.h"

namespace korvane::cli {

namespace {


// A number option's value within [minimum, maximum], or none after printing what was wrong.
std::optional<double> numberWithin(ArgumentCursor& cursor, const std::string& option, double minimum,
                                   double maximum) {
    std::optional<double> value = cursor.number(option);
    if (!value) return std::nullopt;
    if (SetError outside = checkRange(*value, {minimum, maximum})) {
        cursor.fail(option + ": " + *outside);
        return std::nullopt;
    }
    return value;
}

// The default camera stands near a corner of the default 10 x 10 scene and follows the centre when
// the size changes, which leaves it outside a small scene. There it is put where it stands in the
// default scene, relative to the scene's size.
void placeCameraInside(Scene& scene) {
    constexpr double kDefaultSide = 10.0;
    const Size size = scene.size();
    auto inside = [&](Point p) { return p.x >= 0 && p.y >= 0 && p.x <= size.width && p.y <= size.height; };
    CameraLayer* camera = lastLayerOfClass<CameraLayer>(scene);
    if (!camera || (inside(camera->fromPoint()) && inside(camera->toPoint()))) return;
    CameraLayer defaults(nullptr);
    defaults.setCameraType(camera->cameraType());
    auto scaled = [&](Point p) { return Point{p.x * size.width / kDefaultSide, p.y * size.height / kDefaultSide}; };
    camera->setFromPoint(scaled(defaults.fromPoint()));
    camera->setToPoint(scaled(defaults.toPoint()));
}

}  // namespace

int runNew(const std::vector<std::string>& args, Console& console) {
    std::ostream& err = console.err;
    ArgumentCursor cursor(args, "new", err);
    std::string path;
    std::optional<Size> size;
    std::optional<double> maxHeight;
    bool force = false;
    while (!cursor.done()) {
        std::string arg = cursor.take();
        if (arg == "--size") {
            std::optional<double> width = numberWithin(cursor, "--size", kMinimumSceneSide, kMaximumSceneSide);
            if (!width) return 2;
            std::optional<double> height = numberWithin(cursor, "--size", kMinimumSceneSide, kMaximumSceneSide);
            if (!height) return 2;
            size = Size{*width, *height};
        } else if (arg == "--max-height") {
            maxHeight = numberWithin(cursor, "--max-height", kMinimumTerrainHeight, kMaximumTerrainHeight);
            if (!maxHeight) return 2;
        } else if (arg == "--force") {
            force = true;
        } else if (path.empty() && !arg.starts_with("-")) {
            path = arg;
        } else {
            return cursor.fail("unexpected argument '" + arg + "'");
        }
    }
    if (path.empty()) return cursor.fail("no file given");
    std::error_code ignored;
    if (!force && std::filesystem::exists(path, ignored)) {
        err << "korvane: " << path << ": the file exists (use --force to replace it)\n";
        return 1;
    }
    Document document;
    if (size) {
        document.scene().setSize(*size);
        placeCameraInside(document.scene());
    }
    if (maxHeight) document.scene().setMaxTerrainHeight(static_cast<float>(*maxHeight));
    std::string error;
    if (!document.writeToFile(path, &error)) {
        err << "korvane: " << path << ": " << error << "\n";
        return 1;
    }
    console.wrote(path);
    return 0;
}

}  // namespace korvane::cli
