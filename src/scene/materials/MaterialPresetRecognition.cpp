#include "scene/materials/MaterialPresetRecognition.h"

#include <cstdint>
#include <vector>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/shaders/TextureMapperShader.h"

namespace korvane {

namespace {

// Names are unique per object and say nothing about the look.
void clearNames(const std::shared_ptr<BaseShader>& shader, bool isBumpShader) {
    if (!shader) return;
    shader->setName("");
    auto mapper = std::dynamic_pointer_cast<TextureMapperShader>(shader);
    if (!mapper) return;
    // The material hands its own strength to the bump shader before every render.
    if (isBumpShader) mapper->setBumpStrength(0.0f);
    if (mapper->texture()) mapper->texture()->setName("");
}

// The material's archive with every name cleared, after one round trip through the archive so that
// both sides of a comparison carry the same stored precision.
std::vector<uint8_t> settingsArchive(const DiffuseMaterial& material) {
    const std::vector<uint8_t> bytes = KeyedArchiver::archivedData(material);
    auto copy = KeyedUnarchiver::unarchiveRoot<DiffuseMaterial>(bytes, "DiffuseMaterial", nullptr);
    if (!copy) return {};
    copy->setName("");
    clearNames(copy->diffuseShader(), false);
    clearNames(copy->bumpShader(), true);
    clearNames(copy->transparencyShader(), false);
    clearNames(copy->mirrorShader(), false);
    return KeyedArchiver::archivedData(*copy);
}

}  // namespace

std::optional<std::string> matchingPresetKey(const DiffuseMaterial& material) {
    const std::vector<uint8_t> settings = settingsArchive(material);
    if (settings.empty()) return std::nullopt;
    for (const PresetDictionary& preset : DiffuseMaterial::presetDictionaries()) {
        DiffuseMaterial candidate;
        candidate.configureWithPresetDictionary(preset);
        if (settingsArchive(candidate) == settings) return preset.presetKey;
    }
    return std::nullopt;
}

}  // namespace korvane
