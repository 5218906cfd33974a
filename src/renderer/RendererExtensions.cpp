#include "renderer/RendererExtensions.h"

#include "raytracer/core/Environment.h"
#include "raytracer/core/Log.h"

namespace korvane {

namespace {

constexpr const char* kHazeIntegratorType = "FixedSingleScatterIntegrator";

// Stands in for the haze integrator while the extension is not built in: no participating media,
// so renders still run (without haze or clouds) instead of being refused.
class NoHazeIntegrator final : public yafaray::volumeIntegrator_t {};

yafaray::integrator_t* noHazeFactory(yafaray::paraMap_t& params, yafaray::renderEnvironment_t&) {
    // Read what the renderer sends, so the parameters are not reported as misspelt.
    float value = 0;
    bool on = false;
    for (const char* name : {"stepSize", "hazeStrength", "hazeDistance"}) params.getParam(name, value);
    for (const char* name : {"adaptive", "optimize"}) params.getParam(name, on);
    yafaray::logMessage(yafaray::logLevel_t::warning,
                        std::string(kHazeIntegratorType) + " is not built in; rendering without haze");
    return new NoHazeIntegrator;
}

}  // namespace

void registerRendererExtensions(yafaray::renderEnvironment_t& env) {
    if (!env.hasFactory("integrator", kHazeIntegratorType))
        env.registerFactory(kHazeIntegratorType, &noHazeFactory);
}

}  // namespace korvane
