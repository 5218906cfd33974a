// Materials: the diffuse, blend and glass parameter streams, names, presets, archive and swatch.
#include <gtest/gtest.h>

#include "MaterialTestSupport.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/materials/BlendMaterial.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/materials/GlassMaterial.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/CloudsTexture.h"
#include "scene/textures/DistortedNoiseTexture.h"
#include "scene/textures/MarbleTexture.h"
#include "scene/textures/MusgraveTexture.h"
#include "scene/textures/WoodTexture.h"

namespace korvane {
namespace {

using Calls = std::vector<std::string>;

std::shared_ptr<TextureMapperShader> mapper() {
    return TextureMapperShader::textureMapperShaderWithTexture(std::make_shared<CloudsTexture>());
}

TEST(DiffuseMaterialTest, WithoutShadersSendsConstantsThenEndsTheListBeforeCreating) {
    DiffuseMaterial material;
    RecordingRenderer renderer;
    material.appendToRenderer(renderer);
    Calls expected = {"paramsClearAll",
                      str("type", "shinydiffusemat"),
                      flt("diffuse_reflect", 1),
                      flt("specular_reflect", 0),
                      flt("transparency", 0),
                      flt("translucency", 0),
                      flt("transmit_filter", 1),
                      "paramsSetColor \"color\" 1 1 1 1",
                      "paramsSetColor \"mirror_color\" 1 1 1 1",
                      "paramsEndList",
                      "createMaterial \"" + material.materialNameForRenderer() + "\""};
    EXPECT_EQ(renderer.calls(), expected);
}

TEST(DiffuseMaterialTest, ShadersCreateTexturesFirstThenNodesThenNames) {
    DiffuseMaterial material;
    auto bump = mapper(), diffuse = mapper(), transparency = mapper(), mirror = mapper();
    material.setBumpShader(bump);
    material.setBumpStrength(0.7f);
    material.setDiffuseShader(diffuse);
    material.setUseDiffuseShader(true);
    material.setTransparencyShader(transparency);
    material.setMirrorShader(mirror);
    material.setUseMirrorShader(true);
    material.setColor(std::nullopt);
    material.setMirrorColor(std::nullopt);
    RecordingRenderer renderer;
    material.appendToRenderer(renderer, 2, 3, 1);
    const RecordingInterface& r = renderer.recorder;

    EXPECT_EQ(bump->bumpStrength(), 0.7f);
    // Textures in the order bump, diffuse, transparency, mirror, all before the material's own map.
    const int t1 = r.indexOf("createTexture \"" + bump->texture()->name() + "\"");
    const int t2 = r.indexOf("createTexture \"" + diffuse->texture()->name() + "\"");
    const int t3 = r.indexOf("createTexture \"" + transparency->texture()->name() + "\"");
    const int t4 = r.indexOf("createTexture \"" + mirror->texture()->name() + "\"");
    const int type = r.indexOf(str("type", "shinydiffusemat"));
    EXPECT_TRUE(t1 < t2 && t2 < t3 && t3 < t4 && t4 < type);
    EXPECT_EQ(r.indexOf("paramsSetFloat \"specular_reflect\" 0"), -1);
    EXPECT_NE(r.indexOf("paramsSetColor \"color\" 1 1 1 1"), -1);  // an absent colour goes out white
    EXPECT_EQ(r.indexOf("paramsSetColor \"mirror_color\" 1 1 1 1"), -1);
    const int n1 = r.indexOf(str("name", bump->name())), n2 = r.indexOf(str("name", diffuse->name()));
    const int n3 = r.indexOf(str("name", transparency->name())), n4 = r.indexOf(str("name", mirror->name()));
    const int end = r.indexOf("paramsEndList");
    EXPECT_TRUE(type < n1 && n1 < n2 && n2 < n3 && n3 < n4 && n4 < end);
    // Every node carries the material's scale.
    int scales = 0;
    for (const auto& call : r.calls) scales += call == "paramsSetPoint \"scale\" 2 3 1";
    EXPECT_EQ(scales, 4);
    Calls tail(r.calls.end() - 5, r.calls.end());
    Calls expected = {str("bump_shader", bump->name()), str("diffuse_shader", diffuse->name()),
                      str("transparency_shader", transparency->name()), str("mirror_shader", mirror->name()),
                      "createMaterial \"" + material.materialNameForRenderer() + "\""};
    EXPECT_EQ(tail, expected);
}

TEST(DiffuseMaterialTest, SwitchedOffShadersAreNeitherCreatedNorNamed) {
    DiffuseMaterial material;
    material.setDiffuseShader(mapper());  // useDiffuseShader stays off
    material.setUseMirrorShader(true);    // but there is no mirror shader
    material.setColor(Color::calibratedRGB(0.25, 0.5, 0.75, 0.5));
    RecordingRenderer renderer;
    material.appendToRenderer(renderer);
    for (const auto& call : renderer.calls()) {
        EXPECT_EQ(call.find("createTexture"), std::string::npos);
        EXPECT_EQ(call.find("paramsPushList"), std::string::npos);
        EXPECT_EQ(call.find("_shader"), std::string::npos) << call;
        EXPECT_EQ(call.find("specular_reflect"), std::string::npos);
    }
    EXPECT_NE(renderer.recorder.indexOf("paramsSetColor \"color\" 0.25 0.5 0.75 0.5"), -1);
}

TEST(DiffuseMaterialTest, SameUserNameGivesDistinctRendererNamesAndNothingForOtherRenderers) {
    DiffuseMaterial a, b;
    a.setName("Rock");
    b.setName("Rock");
    EXPECT_NE(a.materialNameForRenderer(), b.materialNameForRenderer());
    EXPECT_EQ(a.materialNameForRenderer(), "Rock - " + a.hiddenRandomName());
    PlainRenderer plain;
    EXPECT_EQ(a.appendToRenderer(plain), nullptr);
    RecordingRenderer renderer;
    EXPECT_EQ(BaseMaterial().appendToRenderer(renderer), nullptr);
    EXPECT_TRUE(renderer.calls().empty());
}

TEST(DiffuseMaterialTest, ArchiveRoundTripAndMissingTransmitFilterKeepsDefault) {
    registerSceneClasses();
    DiffuseMaterial material;
    material.configureWithPresetKey("grassmud");
    material.setName("Meadow");
    material.setDiffuseReflect(0.8f);
    material.setTransmitFilter(0.4f);
    material.setTranslucency(0.1f);
    std::string error;
    auto decoded = KeyedUnarchiver::unarchiveRoot<DiffuseMaterial>(KeyedArchiver::archivedData(material),
                                                                   "DiffuseMaterial", &error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->name(), "Meadow");
    EXPECT_NE(decoded->hiddenRandomName(), material.hiddenRandomName());
    EXPECT_TRUE(decoded->useDiffuseShader());
    EXPECT_TRUE(decoded->useMirrorShader());
    EXPECT_EQ(decoded->bumpStrength(), 0.6f);
    EXPECT_EQ(decoded->diffuseReflect(), 0.8f);
    EXPECT_EQ(decoded->transmitFilter(), 0.4f);
    EXPECT_EQ(decoded->translucency(), 0.1f);
    ASSERT_TRUE(decoded->mirrorShader());
    EXPECT_EQ(decoded->mirrorShader()->name(), material.mirrorShader()->name());
}

TEST(BlendMaterialTest, AppendsBothMaterialsThenTheUnscaledMaskAndNamesThem) {
    auto m1 = std::make_shared<DiffuseMaterial>(), m2 = std::make_shared<DiffuseMaterial>();
    auto mask = mapper();
    BlendMaterial blend;
    blend.setMaterial1(m1);
    blend.setMaterial2(m2);
    blend.setMaskShader(mask);
    RecordingRenderer renderer;
    blend.appendToRenderer(renderer, 0.5f, 0.5f, 1);
    const RecordingInterface& r = renderer.recorder;
    const int c1 = r.indexOf("createMaterial \"" + m1->materialNameForRenderer() + "\"");
    const int c2 = r.indexOf("createMaterial \"" + m2->materialNameForRenderer() + "\"");
    const int maskTexture = r.indexOf("createTexture \"" + mask->texture()->name() + "\"");
    EXPECT_TRUE(c1 >= 0 && c1 < c2 && c2 < maskTexture);
    Calls tail(r.calls.begin() + maskTexture + 1, r.calls.end());
    Calls expected = {"paramsClearAll",
                      str("type", "fixed_blend_mat"),
                      str("material1", m1->materialNameForRenderer()),
                      str("material2", m2->materialNameForRenderer()),
                      "paramsPushList",
                      str("element", "shader_node"),
                      str("type", "texture_mapper"),
                      str("name", mask->name()),
                      str("texco", "uv"),
                      str("texture", mask->texture()->name()),
                      flt("bump_strength", 0),
                      "paramsEndList",
                      str("mask", mask->name()),
                      "createMaterial \"" + blend.materialNameForRenderer() + "\""};
    EXPECT_EQ(tail, expected);
}

TEST(BlendMaterialTest, AMissingPartCreatesNothing) {
    BlendMaterial blend;
    blend.setMaterial1(std::make_shared<DiffuseMaterial>());
    blend.setMaskShader(mapper());
    RecordingRenderer renderer;
    EXPECT_EQ(blend.appendToRenderer(renderer), nullptr);
    EXPECT_TRUE(renderer.calls().empty());
}

TEST(GlassMaterialTest, StreamWithAndWithoutColours) {
    GlassMaterial glass;
    glass.setAbsorbtion(0);
    RecordingRenderer bare;
    glass.appendToRenderer(bare);
    Calls expected = {"paramsClearAll",
                      str("type", "glass"),
                      "paramsSetBool \"fake_shadows\" true",
                      flt("IOR", 1.2f),
                      flt("transmit_filter", 0),
                      flt("absorption_dist", 0.01f),
                      flt("dispersion_power", 0),
                      "paramsEndList",
                      "createMaterial \"" + glass.materialNameForRenderer() + "\""};
    EXPECT_EQ(bare.calls(), expected);

    auto waves = mapper();
    glass.setBumpShader(waves);
    glass.setBumpStrength(0.3f);
    glass.setColor(Color::calibratedRGB(0, 0.5, 1, 0.2));
    glass.setMirrorColor(Color::calibratedRGB(1, 1, 1));
    glass.setTransmitFilterColor(Color::calibratedRGB(0.5, 0.5, 0.5));
    RecordingRenderer full;
    glass.appendToRenderer(full, 1, 1, 1);
    const RecordingInterface& r = full.recorder;
    EXPECT_EQ(waves->bumpStrength(), 0.3f);
    EXPECT_LT(r.indexOf("createTexture \"" + waves->texture()->name() + "\""),
              r.indexOf(str("type", "glass")));
    EXPECT_NE(r.indexOf("paramsSetColor \"absorption\" 0 0.5 1 1"), -1);  // alpha always 1
    EXPECT_NE(r.indexOf("paramsSetColor \"filter_color\" 0.5 0.5 0.5 1"), -1);
    EXPECT_NE(r.indexOf("paramsSetColor \"mirror_color\" 1 1 1 1"), -1);
    EXPECT_EQ(r.calls[r.calls.size() - 2], str("bump_shader", waves->name()));
}

// --- presets

template <class T>
std::shared_ptr<T> textureOf(const std::shared_ptr<BaseShader>& shader) {
    auto mapperShader = std::dynamic_pointer_cast<TextureMapperShader>(shader);
    return mapperShader ? std::dynamic_pointer_cast<T>(mapperShader->texture()) : nullptr;
}

TEST(DiffusePresetTest, CatalogueHas47EntriesInOrder) {
    auto presets = DiffuseMaterial::presetDictionaries();
    ASSERT_EQ(presets.size(), 47u);
    EXPECT_EQ(presets.front(), (PresetDictionary{"Red Rocks (Detailed)", "detailedredrocks"}));
    EXPECT_EQ(presets[36], (PresetDictionary{"Red Rocks 3", "redrocks3"}));
    EXPECT_EQ(presets.back(), (PresetDictionary{"Ice & Rocks", "iceandrocks"}));
    // Every preset builds a bump shader; every key is distinct.
    for (const auto& preset : presets) {
        DiffuseMaterial material;
        material.configureWithPresetDictionary(preset);
        EXPECT_TRUE(material.bumpShader()) << preset.presetKey;
        EXPECT_GT(material.bumpStrength(), 0.0f) << preset.presetKey;
    }
}

TEST(DiffusePresetTest, RedRocks3BuildsMarbleDiffuseAndBump) {
    DiffuseMaterial material;
    material.setName("Kept");
    material.configureWithPresetKey("redrocks3");
    EXPECT_EQ(material.name(), "Kept");
    EXPECT_TRUE(material.useDiffuseShader());
    auto diffuse = textureOf<MarbleTexture>(material.diffuseShader());
    auto bump = textureOf<MarbleTexture>(material.bumpShader());
    ASSERT_TRUE(diffuse && bump);
    EXPECT_EQ(diffuse->size(), 100);
    EXPECT_EQ(*diffuse->color1(), Color::calibratedRGB(0.7, 0.5, 0.4, 1));
    EXPECT_EQ(*diffuse->color2(), Color::calibratedRGB(0.5, 0.4, 0.3, 1));
    EXPECT_EQ(diffuse->noiseType(), 4);
    EXPECT_EQ(diffuse->turbulence(), 10);
    EXPECT_EQ(diffuse->sharpness(), 4);
    EXPECT_EQ(diffuse->depth(), 2);  // untouched default
    EXPECT_EQ(*bump->color1(), Color::calibratedRGB(1, 1, 1, 1));
    EXPECT_EQ(bump->sharpness(), 4);
    EXPECT_EQ(material.bumpStrength(), 1.0f);
    EXPECT_EQ(material.spectacularReflect(), 0.0f);
}

TEST(DiffusePresetTest, SnowHasAPlainColourAndNoDiffuseShader) {
    DiffuseMaterial material;
    material.configureWithPresetKey("redrocks3");
    material.configureWithPresetKey("snow");
    EXPECT_FALSE(material.diffuseShader());
    EXPECT_FALSE(material.useDiffuseShader());
    EXPECT_EQ(*material.color(), Color::calibratedRGB(0.9, 0.9, 0.9, 1));
    auto bump = textureOf<DistortedNoiseTexture>(material.bumpShader());
    ASSERT_TRUE(bump);
    EXPECT_EQ(bump->size(), 10);
    EXPECT_EQ(bump->distort(), 5);
    EXPECT_EQ(bump->noiseType1(), 2);
    EXPECT_EQ(bump->noiseType2(), 1);
    EXPECT_EQ(material.bumpStrength(), 0.2f);
    EXPECT_EQ(material.spectacularReflect(), 0.3f);
}

TEST(DiffusePresetTest, GrassMudSetsAMirrorShaderAndLeavesSpecularReflectZero) {
    DiffuseMaterial material;
    material.configureWithPresetKey("grassmud");
    EXPECT_TRUE(material.useMirrorShader());
    auto mirror = textureOf<CloudsTexture>(material.mirrorShader());
    ASSERT_TRUE(mirror);
    EXPECT_EQ(mirror->bias(), 2);
    EXPECT_EQ(mirror->noiseType(), 5);
    EXPECT_EQ(mirror->size(), 200);
    EXPECT_EQ(material.spectacularReflect(), 0.0f);
    auto diffuse = textureOf<CloudsTexture>(material.diffuseShader());
    ASSERT_TRUE(diffuse);
    EXPECT_EQ(*diffuse->color1(), Color::calibratedRGB(0.1, 0.4, 0.1, 1));
    EXPECT_EQ(*diffuse->color2(), Color::calibratedRGB(0.7, 0.4, 0.1, 1));
}

TEST(DiffusePresetTest, AnyPresetAfterIceAndRocksRemovesTheMirror) {
    DiffuseMaterial material;
    material.configureWithPresetKey("iceandrocks");
    ASSERT_TRUE(material.mirrorShader());
    material.setTransparency(0.5f);
    material.configureWithPresetKey("earth");
    EXPECT_FALSE(material.mirrorShader());
    EXPECT_FALSE(material.useMirrorShader());
    EXPECT_EQ(material.transparency(), 0.0f);
    material.configureWithPresetKey("no such preset");
    EXPECT_FALSE(material.bumpShader());
    EXPECT_EQ(material.bumpStrength(), 0.0f);
    EXPECT_EQ(*material.color(), Color::calibratedRGB(1, 1, 1, 1));
}

TEST(DiffusePresetTest, RowsWithUnusualParameters) {
    DiffuseMaterial material;
    material.configureWithPresetKey("redrocks4");  // bump sharpness differs from the diffuse one
    EXPECT_EQ(textureOf<MarbleTexture>(material.diffuseShader())->sharpness(), 3);
    EXPECT_EQ(textureOf<MarbleTexture>(material.bumpShader())->sharpness(), 5);
    material.configureWithPresetKey("grayrocks2");
    EXPECT_EQ(textureOf<MusgraveTexture>(material.diffuseShader())->noiseType(), 2);
    EXPECT_EQ(textureOf<MusgraveTexture>(material.bumpShader())->noiseType(), 5);
    EXPECT_EQ(material.spectacularReflect(), 0.1f);
    material.configureWithPresetKey("snow2");
    auto bump = textureOf<MarbleTexture>(material.bumpShader());
    EXPECT_EQ(bump->size(), 30);
    EXPECT_EQ(bump->turbulence(), 12);
    EXPECT_EQ(bump->depth(), 1);
    material.configureWithPresetKey("lightanddarkearth2");
    auto wood = textureOf<WoodTexture>(material.diffuseShader());
    EXPECT_EQ(wood->noiseType(), 5);
    EXPECT_EQ(wood->turbulence(), 15);
    EXPECT_EQ(wood->depth(), 5);
    EXPECT_EQ(material.bumpStrength(), 0.35f);
    material.configureWithPresetKey("wetmud");
    EXPECT_EQ(*textureOf<DistortedNoiseTexture>(material.diffuseShader())->color2(),
              Color::calibratedRGB(0.4, 0.2, 0, 1));
    EXPECT_EQ(material.spectacularReflect(), 0.25f);
}

TEST(DiffuseMaterialIconTest, SwatchIsADiscInTheSwatchColourDarkerAtTheBottom) {
    DiffuseMaterial material;
    material.setColor(Color::calibratedRGB(1, 0, 0, 1));
    Bitmap icon = material.icon();
    ASSERT_EQ(icon.width(), 32);
    ASSERT_EQ(icon.format(), PixelFormat::RGBA8);
    EXPECT_EQ(icon.pixel(0, 0)[3], 0);  // outside the disc and its shadow
    const uint8_t* top = icon.pixel(16, 6);
    const uint8_t* bottom = icon.pixel(16, 26);
    EXPECT_EQ(top[3], 255);
    EXPECT_GT(top[0], 230);
    EXPECT_LT(top[1], 20);
    EXPECT_LT(bottom[0], top[0]);
    EXPECT_GT(bottom[0], 130);
    // The shadow falls below and to the right.
    EXPECT_GT(icon.pixel(30, 29)[3], icon.pixel(1, 2)[3]);

    DiffuseMaterial shaderless;
    shaderless.setUseDiffuseShader(true);
    Bitmap empty = shaderless.icon();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(empty.pixel(x, y)[3], 0);
}

}  // namespace
}  // namespace korvane
