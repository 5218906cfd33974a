#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "ExtensionTestSupport.h"
#include "raytracer/core/Environment.h"
#include "raytracer/core/NodeMaterial.h"
#include "renderer/extensions/FixedBlendMaterial.h"

namespace {

using enginetest::CapturedImage;
using enginetest::LogCapture;
using extensiontest::ExtensionScene;
using yafaray::material_t;
using yafaray::materialResponse_t;
using yafaray::surfacePoint_t;

class FixedBlendMaterialTest : public ::testing::Test {
protected:
    FixedBlendMaterialTest() {
        red = scene.diffuse("red", 0.9f, 0.1f, 0.1f);
        green = scene.diffuse("green", 0.1f, 0.8f, 0.2f);
        scene.yi.paramsClearAll();
        scene.yi.paramsSetString("type", "shinydiffusemat");
        scene.yi.paramsSetColor("color", 0.3f, 0.3f, 1.f);
        scene.yi.paramsSetFloat("diffuse_reflect", 1.0);
        scene.yi.paramsSetFloat("transparency", 0.6);
        scene.yi.paramsSetFloat("emit", 0.5);
        glowingGlass = scene.yi.createMaterial("glowing");
        sp.P = {0.2f, 0.3f, 0.f};
        sp.N = sp.Ng = {0, 0, 1};
    }

    // A blend of two named materials; mask, when given, is a "value" node with that scalar.
    material_t* blend(const std::string& first, const std::string& second, std::optional<float> value,
                      std::optional<float> maskScalar = std::nullopt,
                      const std::string& maskName = "maskNode",
                      const std::function<void()>& extraNodes = {}) {
        scene.yi.paramsClearAll();
        scene.yi.paramsSetString("type", "fixed_blend_mat");
        scene.yi.paramsSetString("material1", first.c_str());
        scene.yi.paramsSetString("material2", second.c_str());
        if (value) scene.yi.paramsSetFloat("blend_value", *value);
        if (maskScalar) {
            scene.yi.paramsPushList();
            scene.yi.paramsSetString("element", "shader_node");
            scene.yi.paramsSetString("type", "value");
            scene.yi.paramsSetString("name", "maskNode");
            scene.yi.paramsSetFloat("scalar", *maskScalar);
            if (extraNodes) extraNodes();
            scene.yi.paramsEndList();
            scene.yi.paramsSetString("mask", maskName.c_str());
        }
        return scene.yi.createMaterial(("blend" + std::to_string(count++)).c_str());
    }

    static void expectSame(const materialResponse_t& a, const materialResponse_t& b) {
        EXPECT_EQ(a.diffuse.R, b.diffuse.R);
        EXPECT_EQ(a.diffuse.G, b.diffuse.G);
        EXPECT_EQ(a.transmit.B, b.transmit.B);
        EXPECT_EQ(a.emit.R, b.emit.R);
        EXPECT_EQ(a.alpha, b.alpha);
    }

    ExtensionScene scene;
    LogCapture log;
    material_t* red = nullptr;
    material_t* green = nullptr;
    material_t* glowingGlass = nullptr;
    surfacePoint_t sp;
    int count = 0;
};

TEST_F(FixedBlendMaterialTest, BlendValuesZeroAndOneAreExactlyTheComponents) {
    for (bool masked : {false, true}) {
        material_t* first =
            masked ? blend("red", "glowing", std::nullopt, 0.f) : blend("red", "glowing", 0.f);
        material_t* second =
            masked ? blend("red", "glowing", std::nullopt, 1.f) : blend("red", "glowing", 1.f);
        ASSERT_NE(first, nullptr);
        ASSERT_NE(second, nullptr);
        expectSame(first->response(sp), red->response(sp));
        expectSame(second->response(sp), glowingGlass->response(sp));
        // A component without weight does not let shadows through either.
        EXPECT_EQ(first->shadowFilter(sp, {0, 0, -1}).R, 0.f);
        EXPECT_EQ(second->shadowFilter(sp, {0, 0, -1}).R, glowingGlass->shadowFilter(sp, {0, 0, -1}).R);
    }
}

TEST_F(FixedBlendMaterialTest, MaskValuesAreClampedAndWeightEveryResponse) {
    // Out-of-range mask values count as 0 and 1.
    expectSame(blend("red", "glowing", std::nullopt, -3.f)->response(sp), red->response(sp));
    expectSame(blend("red", "glowing", std::nullopt, 7.f)->response(sp), glowingGlass->response(sp));
    // In between, every part of the response is (1 − b)·first + b·second, the mask overriding the value.
    material_t* quarter = blend("red", "glowing", 0.9f, 0.25f);
    ASSERT_NE(quarter, nullptr);
    const materialResponse_t a = red->response(sp), b = glowingGlass->response(sp), m = quarter->response(sp);
    EXPECT_FLOAT_EQ(m.diffuse.R, 0.75f * a.diffuse.R + 0.25f * b.diffuse.R);
    EXPECT_FLOAT_EQ(m.transmit.B, 0.75f * a.transmit.B + 0.25f * b.transmit.B);
    EXPECT_FLOAT_EQ(m.emit.G, 0.75f * a.emit.G + 0.25f * b.emit.G);
    EXPECT_GT(m.emit.G, 0.f);
    EXPECT_FLOAT_EQ(m.alpha, 0.75f * a.alpha + 0.25f * b.alpha);
    EXPECT_FLOAT_EQ(quarter->shadowFilter(sp, {0, 0, -1}).B,
                    0.25f * glowingGlass->shadowFilter(sp, {0, 0, -1}).B);
    // Shadow rays may pass when either component lets them.
    EXPECT_TRUE(quarter->isTransparent());
    EXPECT_FALSE(blend("red", "green", 0.5f)->isTransparent());
    EXPECT_FLOAT_EQ(blend("red", "green", 0.5f)->response(sp).diffuse.G, 0.5f * (0.1f + 0.8f));
    // Without a value or mask the components are mixed half and half; a value beyond 1 is clamped.
    EXPECT_FLOAT_EQ(blend("red", "green", std::nullopt)->response(sp).diffuse.R, 0.5f);
    expectSame(blend("red", "green", 4.f)->response(sp), green->response(sp));
    EXPECT_EQ(log.count("unused parameter"), 0);
}

TEST_F(FixedBlendMaterialTest, RendersExactlyAsTheComponentAloneAtTheEnds) {
    auto render = [](const std::function<const material_t*(ExtensionScene&)>& pick) {
        ExtensionScene s;
        s.diffuse("red", 0.9f, 0.1f, 0.1f);
        s.diffuse("green", 0.1f, 0.8f, 0.2f);
        s.yi.startGeometry();
        const material_t* m = pick(s);
        s.quad({-5, -5, 0}, {10, 0, 0}, {0, 10, 0}, m);
        s.yi.endGeometry();
        s.topCamera(3.f, 8, 8);
        s.sun({0.3f, 0.2f, 1.f}, 1.f, 0.5f, 2);
        s.directLighting();
        return s.render(8, 8);
    };
    auto blended = [](float v) {
        return [v](ExtensionScene& s) -> const material_t* {
            s.yi.paramsClearAll();
            s.yi.paramsSetString("type", "fixed_blend_mat");
            s.yi.paramsSetString("material1", "red");
            s.yi.paramsSetString("material2", "green");
            s.yi.paramsSetFloat("blend_value", v);
            return s.yi.createMaterial("blend");
        };
    };
    const CapturedImage zero = render(blended(0.f)), one = render(blended(1.f));
    const CapturedImage first = render([](ExtensionScene& s) { return s.env().getMaterial("red"); });
    const CapturedImage second = render([](ExtensionScene& s) { return s.env().getMaterial("green"); });
    EXPECT_EQ(zero.data, first.data);
    EXPECT_EQ(one.data, second.data);
    EXPECT_NE(first.data, second.data);
}

TEST_F(FixedBlendMaterialTest, RefusesMissingComponentsMasksAndBrokenNodeLists) {
    EXPECT_EQ(blend("red", "absent", 0.5f), nullptr);
    EXPECT_EQ(log.count("no material named 'absent'"), 1);
    EXPECT_EQ(blend("red", "green", std::nullopt, 0.5f, "otherNode"), nullptr);
    EXPECT_EQ(log.count("[ERROR]: blend shader node 'otherNode' does not exist!"), 1);
    EXPECT_EQ(blend("red", "green", std::nullopt, 0.5f, "maskNode",
                    [&] {
                        scene.yi.paramsPushList();
                        scene.yi.paramsSetString("element", "shader_node");
                        scene.yi.paramsSetString("type", "no_such_node_type");
                        scene.yi.paramsSetString("name", "broken");
                    }),
              nullptr);
    EXPECT_EQ(log.count("[ERROR]: loadNodes() failed!"), 1);
    EXPECT_NE(blend("red", "green", std::nullopt, 0.5f), nullptr);
}

TEST(RendererExtensions, RegistersTheFourTypesOfTheApplication) {
    yafaray::renderEnvironment_t env;
    korvane::registerRendererExtensions(env);
    EXPECT_TRUE(env.hasFactory("texture", "fixedimagetexture"));
    EXPECT_TRUE(env.hasFactory("material", "fixed_blend_mat"));
    EXPECT_TRUE(env.hasFactory("integrator", "FixedSingleScatterIntegrator"));
    EXPECT_TRUE(env.hasFactory("volumeregion", "FixedNoiseVolume"));
}

}  // namespace
