// Shader nodes: the texture mapper's scale rule, the combining shaders' inputs and their archive.
#include <gtest/gtest.h>

#include "MaterialTestSupport.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/SceneLayerRegistry.h"
#include "scene/materials/BlendMaterial.h"
#include "scene/materials/DiffuseMaterial.h"
#include "scene/shaders/LayerShader.h"
#include "scene/shaders/MixShader.h"
#include "scene/shaders/TextureMapperShader.h"
#include "scene/textures/CloudsTexture.h"

namespace korvane {
namespace {

std::shared_ptr<TextureMapperShader> mapper() {
    return TextureMapperShader::textureMapperShaderWithTexture(std::make_shared<CloudsTexture>());
}

int countOf(const std::vector<std::string>& calls, const std::string& prefix) {
    int n = 0;
    for (const auto& c : calls) n += c.rfind(prefix, 0) == 0;
    return n;
}

TEST(ShaderAppendTest, TextureMapperSendsScaleOnlyWhenItDiffersFromOne) {
    auto shader = mapper();
    shader->setBumpStrength(0.25f);
    RecordingRenderer unit;
    shader->appendShaderNodeToRenderer(unit, 1, 1, 1);
    std::vector<std::string> expected = {"paramsPushList",
                                         str("element", "shader_node"),
                                         str("type", "texture_mapper"),
                                         str("name", shader->name()),
                                         str("texco", "uv"),
                                         str("texture", shader->texture()->name()),
                                         flt("bump_strength", 0.25f)};
    EXPECT_EQ(unit.calls(), expected);

    RecordingRenderer scaled;
    shader->appendShaderNodeToRenderer(scaled, 2, 1, 1);
    EXPECT_EQ(scaled.calls().back(), "paramsSetPoint \"scale\" 2 1 1");

    RecordingRenderer nan;
    shader->appendShaderNodeToRenderer(nan, 1, std::nanf(""), 1);
    EXPECT_EQ(countOf(nan.calls(), "paramsSetPoint \"scale\""), 1);
}

TEST(ShaderAppendTest, TextureMapperWithoutTextureAddsNoNode) {
    TextureMapperShader shader;
    RecordingRenderer renderer;
    shader.appendToRenderer(renderer);
    shader.appendShaderNodeToRenderer(renderer);
    EXPECT_TRUE(renderer.calls().empty());
}

TEST(ShaderAppendTest, LayerShaderAddsInputsFirstAndDropsTheScale) {
    auto lower = mapper(), upper = mapper();
    auto layer = LayerShader::layerShaderWithShader1(lower, upper);
    RecordingRenderer renderer;
    layer->appendShaderNodeToRenderer(renderer, 2, 3, 4);
    const auto& calls = renderer.calls();
    EXPECT_EQ(countOf(calls, "paramsPushList"), 3);
    EXPECT_EQ(countOf(calls, "paramsSetPoint"), 0);  // the inputs get no scale
    EXPECT_LT(renderer.recorder.indexOf(str("name", lower->name())),
              renderer.recorder.indexOf(str("name", upper->name())));
    std::vector<std::string> tail(calls.end() - 7, calls.end());
    std::vector<std::string> expected = {
        "paramsPushList",           str("element", "shader_node"), str("type", "layer"),
        str("name", layer->name()), str("input", lower->name()),   str("upper_layer", upper->name()),
        "paramsSetInt \"mode\" 2"};
    EXPECT_EQ(tail, expected);
}

TEST(ShaderAppendTest, MixShaderWithAMissingInputAddsNoNodeAtAll) {
    auto mix = MixShader::mixShaderWithShader1(mapper(), nullptr);
    RecordingRenderer renderer;
    mix->appendShaderNodeToRenderer(renderer);
    EXPECT_TRUE(renderer.calls().empty());
    // Its textures are still created for the input that exists.
    mix->appendToRenderer(renderer);
    EXPECT_EQ(countOf(renderer.calls(), "createTexture"), 1);
}

TEST(ShaderAppendTest, MixShaderNodeCarriesFactorAndMode) {
    auto a = mapper(), b = mapper();
    auto mix = MixShader::mixShaderWithShader1(a, b);
    mix->setFactor(0.75f);
    mix->setMode(6);
    RecordingRenderer renderer;
    mix->appendShaderNodeToRenderer(renderer);
    const auto& calls = renderer.calls();
    std::vector<std::string> tail(calls.end() - 8, calls.end());
    std::vector<std::string> expected = {"paramsPushList",         str("element", "shader_node"),
                                         str("type", "mix"),       str("name", mix->name()),
                                         str("input1", a->name()), str("input2", b->name()),
                                         flt("value", 0.75f),      "paramsSetInt \"mode\" 6"};
    EXPECT_EQ(tail, expected);
}

TEST(ShaderAppendTest, BumpStrengthAndColourReachTheInputs) {
    auto a = mapper(), b = mapper();
    auto layer = LayerShader::layerShaderWithShader1(a, b);
    layer->setBumpStrength(0.6f);
    EXPECT_EQ(a->bumpStrength(), 0.6f);
    EXPECT_EQ(b->bumpStrength(), 0.6f);
    EXPECT_EQ(*layer->representativeColor(), Color::calibratedRGB(0.5, 0.5, 0.5, 1));
    auto empty = LayerShader::layerShaderWithShader1(std::make_shared<TextureMapperShader>(), a);
    EXPECT_FALSE(empty->representativeColor());
}

TEST(ShaderAppendTest, CyclicShaderGraphFromAnArchiveEndsInsteadOfOverflowing) {
    auto layer = std::make_shared<LayerShader>();
    layer->setShader1(layer);
    layer->setShader2(mapper());
    RecordingRenderer renderer;
    layer->appendToRenderer(renderer);
    layer->appendShaderNodeToRenderer(renderer);
    layer->setBumpStrength(1);
    EXPECT_FALSE(layer->representativeColor());
    BaseShader plain;  // overrides neither node operation
    plain.appendShaderNodeToRenderer(renderer);
    layer->setShader1(nullptr);  // break the cycle so the shader is freed
    SUCCEED();
}

// Mix shaders whose two inputs are both the next one: as a tree the chain has 2^24 leaves.
std::shared_ptr<BaseShader> sharedMixChain(int length) {
    std::shared_ptr<BaseShader> next = mapper();
    for (int i = 0; i < length; ++i) next = MixShader::mixShaderWithShader1(next, next);
    return next;
}

TEST(ShaderAppendTest, SharedInputsAreWalkedOnceSoAChainCostsWorkInProportionToItsNodes) {
    constexpr int kChain = 24;
    auto head = sharedMixChain(kChain);
    DiffuseMaterial material;
    material.setUseDiffuseShader(true);
    material.setDiffuseShader(head);
    material.setBumpShader(head);
    RecordingRenderer renderer;
    material.appendToRenderer(renderer);
    // Per slot one node per shader and one texture per walk; never one per path.
    EXPECT_EQ(countOf(renderer.calls(), "paramsPushList"), 2 * (kChain + 1));
    EXPECT_EQ(countOf(renderer.calls(), "createTexture"), 2);
    EXPECT_EQ(countOf(renderer.calls(), "createMaterial"), 1);
    EXPECT_EQ(*head->representativeColor(), Color::calibratedRGB(0.5, 0.5, 0.5, 1));
    head->setBumpStrength(0.3f);
    auto* leaf = head.get();
    while (auto* mix = dynamic_cast<MixShader*>(leaf)) leaf = mix->shader1().get();
    EXPECT_EQ(static_cast<TextureMapperShader*>(leaf)->bumpStrength(), 0.3f);
}

TEST(ShaderAppendTest, BlendMaterialsSharingAComponentCreateItOnce) {
    constexpr int kChain = 24;
    auto mask = mapper();
    std::shared_ptr<BaseMaterial> next = std::make_shared<DiffuseMaterial>();
    for (int i = 0; i < kChain; ++i) {
        auto blend = std::make_shared<BlendMaterial>();
        blend->setMaterial1(next);
        blend->setMaterial2(next);
        blend->setMaskShader(mask);
        next = blend;
    }
    RecordingRenderer renderer;
    next->appendToRenderer(renderer);
    EXPECT_EQ(countOf(renderer.calls(), "createMaterial"), kChain + 1);
}

TEST(ShaderArchiveTest, LayerModeIsNotStoredAndMixKeepsFactorAndMode) {
    registerSceneClasses();
    auto layer = LayerShader::layerShaderWithShader1(mapper(), mapper());
    layer->setMode(5);
    std::string error;
    auto decoded = KeyedUnarchiver::unarchiveRoot<LayerShader>(KeyedArchiver::archivedData(*layer),
                                                               "LayerShader", &error);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(decoded->mode(), 2);
    EXPECT_EQ(decoded->name(), layer->name());
    ASSERT_TRUE(decoded->shader1());
    EXPECT_EQ(decoded->shader1()->name(), layer->shader1()->name());

    auto mix = MixShader::mixShaderWithShader1(mapper(), mapper());
    mix->setFactor(0.3f);
    mix->setMode(4);
    auto decodedMix =
        KeyedUnarchiver::unarchiveRoot<MixShader>(KeyedArchiver::archivedData(*mix), "MixShader", &error);
    ASSERT_TRUE(decodedMix) << error;
    EXPECT_EQ(decodedMix->factor(), 0.3f);
    EXPECT_EQ(decodedMix->mode(), 4);

    auto texMapper = mapper();
    texMapper->setBumpStrength(0.4f);
    auto decodedMapper = KeyedUnarchiver::unarchiveRoot<TextureMapperShader>(
        KeyedArchiver::archivedData(*texMapper), "TextureMapperShader", &error);
    ASSERT_TRUE(decodedMapper) << error;
    EXPECT_EQ(decodedMapper->bumpStrength(), 0.4f);
    ASSERT_TRUE(std::dynamic_pointer_cast<CloudsTexture>(decodedMapper->texture()));
}

}  // namespace
}  // namespace korvane
