#include "scene/materials/MaterialClasses.h"

#include <mutex>

#include "foundation/archive/ArchiveClassRegistry.h"
#include "scene/layers/texture/TerrainTextureLayerMaterialMap.h"
#include "scene/materials/BlendMaterial.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/materials/GlassMaterial.h"
#include "scene/shaders/LayerShader.h"
#include "scene/shaders/MixShader.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/CloudsTexture.h"
#include "scene/textures/DistortedNoiseTexture.h"
#include "scene/textures/ImageTexture.h"
#include "scene/textures/MarbleTexture.h"
#include "scene/textures/MusgraveTexture.h"
#include "scene/textures/WoodTexture.h"

namespace korvane {

void registerMaterialClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        ArchiveClassRegistry& registry = ArchiveClassRegistry::shared();
        registry.registerClass<BaseMaterial>("BaseMaterial", "NSObject");
        registry.registerClass<DiffuseMaterial>("DiffuseMaterial", "BaseMaterial");
        registry.registerClass<BlendMaterial>("BlendMaterial", "BaseMaterial");
        registry.registerClass<GlassMaterial>("GlassMaterial", "BaseMaterial");

        registry.registerClass<BaseShader>("BaseShader", "NSObject");
        registry.registerClass<TextureMapperShader>("TextureMapperShader", "BaseShader");
        registry.registerClass<LayerShader>("LayerShader", "BaseShader");
        registry.registerClass<MixShader>("MixShader", "BaseShader");

        registry.registerClass<BaseTexture>("BaseTexture", "NSObject");
        registry.registerClass<ImageTexture>("ImageTexture", "BaseTexture");
        registry.registerClass<MarbleTexture>("MarbleTexture", "BaseTexture");
        registry.registerClass<MusgraveTexture>("MusgraveTexture", "BaseTexture");
        registry.registerClass<CloudsTexture>("CloudsTexture", "BaseTexture");
        registry.registerClass<WoodTexture>("WoodTexture", "BaseTexture");
        registry.registerClass<DistortedNoiseTexture>("DistortedNoiseTexture", "BaseTexture");

        registry.registerClass<TerrainTextureLayerMaterialMap>("TerrainTextureLayerMaterialMap", "NSObject");
    });
}

}  // namespace korvane
