#include "scene/BaseRenderer.h"

namespace korvane {

namespace {

// Integer value of a settings entry; a missing key reads as 0.
int64_t integerSetting(const DefaultsDictionary& settings, const char* key) {
    auto found = settings.find(key);
    return found == settings.end() ? 0 : found->second.toInteger();
}

}  // namespace

void BaseRenderer::configureFromSettingsDictionary(const DefaultsDictionary& settings) {
    setOutputSize(Size{static_cast<double>(integerSetting(settings, "rendererOutputSizeWidth")),
                       static_cast<double>(integerSetting(settings, "rendererOutputSizeHeight"))});
}

DefaultsDictionary BaseRenderer::updateSettingsInDictionary(const DefaultsDictionary* settings, int,
                                                            bool force) {
    DefaultsDictionary updated = settings ? *settings : DefaultsDictionary{};
    auto set = [&](const char* key, DefaultsValue value) {
        if (force || !updated.contains(key)) updated[key] = std::move(value);
    };
    set("rendererOutputSizeWidth", 320);
    set("rendererOutputSizeHeight", 240);
    return updated;
}

}  // namespace korvane
