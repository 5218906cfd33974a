#include "scene/layers/water/WaterMaterial.h"

#include <memory>

#include "scene/layers/water/WaterLayer.h"
#include "scene/materials/GlassMaterial.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/DistortedNoiseTexture.h"

namespace korvane {

const yafaray::material_t* appendWaterMaterial(const WaterLayer& layer, BaseRenderer& renderer) {
    auto waves = std::make_shared<DistortedNoiseTexture>();
    waves->setSize(layer.wavesSize());
    waves->setDistort(layer.wavesTwirl());
    GlassMaterial glass;
    glass.setIOR(layer.IOR());
    glass.setAbsorbtion(layer.absorbtion());
    glass.setColor(layer.waterColor());
    glass.setMirrorColor(layer.mirrorColor());
    glass.setBumpStrength(layer.wavesHeight());
    glass.setBumpShader(TextureMapperShader::textureMapperShaderWithTexture(waves));
    return glass.appendToRenderer(renderer);
}

}  // namespace korvane
