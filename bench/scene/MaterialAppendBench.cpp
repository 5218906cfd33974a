// Time to append materials to the ray tracer: the most complex material preset ("iceandrocks": marble
// diffuse, bump and mirror textures) and the most complex terrain stack ("Light Earth & Dark Earth &
// Snow & Dark Rocks": five maps, four blends, four 1024 × 1024 masks through temporary TGA files),
// each with its ratio to a plain shader-less material measured in the same run.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "raytracer/interface.h"
#include "raytracer/plugins.h"
#include "renderer/RendererExtensions.h"
#include "scene/BaseRenderer.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/TerrainLayer.h"
#include "scene/layers/texture/TerrainTextureLayer.h"
#include "scene/materials/DiffuseMaterial.h"

using namespace korvane;

namespace {

// A renderer that the model takes for the ray tracer, over an engine of its own.
class BenchRenderer final : public BaseRenderer {
public:
    BenchRenderer() {
        yafaray::renderEnvironment_t& env = *engine_.getRenderEnvironment();
        yafaray::registerPlugin_basictex(env);
        yafaray::registerPlugin_basicnodes(env);
        yafaray::registerPlugin_shinydiff(env);
        registerRendererExtensions(env);
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &engine_; }
    void clear() { engine_.clearAll(); }

private:
    mutable yafaray::yafrayInterface_t engine_;
};

// Every run starts from an empty engine: a material name can be created only once.
double secondsPerAppend(int runs, BenchRenderer& renderer, const std::function<bool()>& append) {
    renderer.clear();
    if (!append()) std::printf("warning: the engine refused the material\n");
    double total = 0;
    for (int i = 0; i < runs; ++i) {
        renderer.clear();
        const auto start = std::chrono::steady_clock::now();
        append();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    return total / runs;
}

}  // namespace

int main() {
    BenchRenderer renderer;
    DiffuseMaterial plain;
    const double baseline =
        secondsPerAppend(2000, renderer, [&] { return plain.appendToRenderer(renderer) != nullptr; });
    std::printf("baseline plain material: %.2f µs per append\n", baseline * 1e6);

    DiffuseMaterial iceAndRocks;
    iceAndRocks.configureWithPresetKey("iceandrocks");
    const double preset =
        secondsPerAppend(2000, renderer, [&] { return iceAndRocks.appendToRenderer(renderer) != nullptr; });
    std::printf("preset \"iceandrocks\": %.2f µs per append (%.1f × baseline)\n", preset * 1e6,
                preset / baseline);

    Scene scene;  // 10 × 10: a 1024 × 1024 heightmap
    auto terrain = std::make_shared<TerrainLayer>(&scene);
    Bitmap& heights = *terrain->heightmapImageRep();
    for (int y = 0; y < heights.height(); ++y)
        for (int x = 0; x < heights.width(); ++x)
            heights.setGray16(
                x, y, static_cast<uint16_t>(32767 + 30000 * std::sin(x * 0.02) * std::cos(y * 0.015)));
    TerrainTextureLayer layer(&scene, terrain);
    layer.configureWithPresetDictionary({"", "lightearthdarkearthsnowdarkrocks"});
    const double stack = secondsPerAppend(
        5, renderer, [&] { return layer.createTerrainMaterialForRenderer(renderer) != nullptr; });
    std::printf("terrain stack of %zu maps: %.1f ms per append (%.0f × baseline)\n",
                layer.materialMaps().size(), stack * 1e3, stack / baseline);
    return 0;
}
