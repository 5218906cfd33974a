// Recognising which material preset a (loaded, rendered) material still is.
#include <gtest/gtest.h>

#include "MaterialTestSupport.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/materials/MaterialClasses.h"
#include "scene/materials/MaterialPresetRecognition.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/MarbleTexture.h"

namespace korvane {
namespace {

class MaterialPresetRecognitionTest : public ::testing::Test {
protected:
    void SetUp() override { registerMaterialClasses(); }
};

TEST_F(MaterialPresetRecognitionTest, EveryPresetIsRecognisedAsItselfAndNoOther) {
    for (const PresetDictionary& preset : DiffuseMaterial::presetDictionaries()) {
        DiffuseMaterial material;
        material.setName("renamed by the user");
        material.configureWithPresetDictionary(preset);
        EXPECT_EQ(matchingPresetKey(material), preset.presetKey);
    }
}

TEST_F(MaterialPresetRecognitionTest, SurvivesARenderAndAnArchiveRoundTrip) {
    DiffuseMaterial material;
    material.configureWithPresetKey("grayrocks5");
    RecordingRenderer renderer;
    material.appendToRenderer(renderer);  // hands bumpStrength 1.0 to the bump shader
    const std::vector<uint8_t> bytes = KeyedArchiver::archivedData(material);
    std::string error;
    auto decoded = KeyedUnarchiver::unarchiveRoot<DiffuseMaterial>(bytes, "DiffuseMaterial", &error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(matchingPresetKey(*decoded), "grayrocks5");
}

TEST_F(MaterialPresetRecognitionTest, AnyEditEndsTheMatch) {
    DiffuseMaterial material;
    EXPECT_EQ(matchingPresetKey(material), std::nullopt);  // the defaults are no preset

    material.configureWithPresetKey("redrocks3");
    material.setTranslucency(0.1f);
    EXPECT_EQ(matchingPresetKey(material), std::nullopt);

    material.configureWithPresetKey("redrocks3");
    material.setTranslucency(0.0f);
    auto mapper = std::dynamic_pointer_cast<TextureMapperShader>(material.diffuseShader());
    ASSERT_TRUE(mapper);
    std::dynamic_pointer_cast<MarbleTexture>(mapper->texture())->setTurbulence(9.0f);
    EXPECT_EQ(matchingPresetKey(material), std::nullopt);
    std::dynamic_pointer_cast<MarbleTexture>(mapper->texture())->setTurbulence(10.0f);
    EXPECT_EQ(matchingPresetKey(material), "redrocks3");
}

}  // namespace
}  // namespace korvane
