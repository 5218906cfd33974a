#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "EngineTestSupport.h"
#include "raytracer/core/NodeMaterial.h"

namespace {

using enginetest::LogCapture;
using enginetest::SceneBuilder;
using yafaray::point3d_t;
using yafaray::vector3d_t;

// A point of a flat quad in the z = 0 plane whose UVs run along x and y.
yafaray::surfacePoint_t pointAt(float u, float v) {
    yafaray::surfacePoint_t sp;
    sp.P = point3d_t(u, v, 0.f);
    sp.N = sp.Ng = vector3d_t(0.f, 0.f, 1.f);
    sp.u = u;
    sp.v = v;
    sp.hasUV = true;
    sp.dPdU = vector3d_t(1.f, 0.f, 0.f);
    sp.dPdV = vector3d_t(0.f, 1.f, 0.f);
    return sp;
}

// Builds shinydiffusemat materials whose diffuse colour comes from a node list, and reads the
// colour a node produced back from the material's response.
class NodeBench {
public:
    NodeBench() {
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "clouds");
        s.yi.paramsSetFloat("size", 3.0);
        s.yi.paramsSetInt("depth", 2);
        s.yi.createTexture("clouds");
    }

    using nodes_t = std::function<void(yafaray::yafrayInterface_t&)>;

    // Each call of `node` in `nodes` starts one list element.
    const yafaray::material_t* material(const nodes_t& nodes, const char* diffuseShader) {
        s.yi.paramsClearAll();
        s.yi.paramsSetString("type", "shinydiffusemat");
        s.yi.paramsSetColor("color", 0.25f, 0.5f, 0.75f, 1.f);
        if (nodes) nodes(s.yi);
        s.yi.paramsEndList();
        if (diffuseShader) s.yi.paramsSetString("diffuse_shader", diffuseShader);
        return s.yi.createMaterial(("material" + std::to_string(count_++)).c_str());
    }

    static void node(yafaray::yafrayInterface_t& yi, const char* type, const char* name) {
        yi.paramsPushList();
        yi.paramsSetString("element", "shader_node");
        yi.paramsSetString("type", type);
        yi.paramsSetString("name", name);
    }
    static void value(yafaray::yafrayInterface_t& yi, const char* name, float c, float scalar = 1.f) {
        node(yi, "value", name);
        yi.paramsSetColor("color", c, c, c, 1.f);
        yi.paramsSetFloat("scalar", scalar);
    }
    static void mapper(yafaray::yafrayInterface_t& yi, const char* name, const std::function<void()>& extra = {}) {
        node(yi, "texture_mapper", name);
        yi.paramsSetString("texco", "uv");
        yi.paramsSetString("texture", "clouds");
        if (extra) extra();
    }

    SceneBuilder s;

private:
    int count_ = 0;
};

float red(const yafaray::material_t* m, float u, float v) {
    return m->response(pointAt(u, v)).diffuse.R;
}

TEST(TextureMapper, ScaleTwoHalvesTheFeatureSizeInUvAndOffsetShiftsByTwiceItsValue) {
    NodeBench b;
    const auto* plain = b.material([](auto& yi) { NodeBench::mapper(yi, "map"); }, "map");
    const auto* scaled = b.material(
        [](auto& yi) { NodeBench::mapper(yi, "map", [&] { yi.paramsSetPoint("scale", 2, 2, 2); }); }, "map");
    const auto* shifted = b.material(
        [](auto& yi) { NodeBench::mapper(yi, "map", [&] { yi.paramsSetPoint("offset", 0.125, 0, 0); }); },
        "map");
    ASSERT_TRUE(plain && scaled && shifted);
    int varies = 0;
    for (int i = 0; i < 32; ++i) {
        for (int j = 0; j < 32; ++j) {
            // Multiples of 1/64 keep every coordinate exact in float.
            const float u = 0.25f + i / 64.f, v = 0.25f + j / 64.f;
            // Texture space is 2u − 1: scaled by 2 it is 4u − 2, what the unscaled mapper
            // reads at 2u − ½. One feature now spans half the UV distance.
            EXPECT_FLOAT_EQ(red(scaled, u, v), red(plain, 2.f * u - 0.5f, 2.f * v - 0.5f));
            // p + 2·offset: an offset of 1/8 is a UV shift of 1/8.
            EXPECT_FLOAT_EQ(red(shifted, u, v), red(plain, u + 0.125f, v));
            varies += red(plain, u, v) != red(plain, 0.25f, 0.25f);
        }
    }
    EXPECT_GT(varies, 900);
}

TEST(TextureMapper, MaterialNamingAMissingNodeRendersWithoutItAndLogsOnce) {
    NodeBench b;
    LogCapture log;
    const auto* m = b.material([](auto& yi) { NodeBench::mapper(yi, "map"); }, "no such node");
    ASSERT_NE(m, nullptr);
    for (int i = 0; i < 50; ++i) {
        const auto r = m->response(pointAt(i / 50.f, 0.5f));
        EXPECT_FLOAT_EQ(r.diffuse.R, 0.25f);
        EXPECT_FLOAT_EQ(r.diffuse.B, 0.75f);
    }
    EXPECT_EQ(log.count("no such node"), 1);
}

TEST(TextureMapper, NodeWithAMissingTextureOrInputIsDroppedAndItsSlotFallsBackToTheConstant) {
    NodeBench b;
    LogCapture log;
    const auto* m = b.material(
        [](auto& yi) {
            NodeBench::node(yi, "texture_mapper", "orphan");
            yi.paramsSetString("texco", "uv");
            yi.paramsSetString("texture", "missing texture");
            NodeBench::node(yi, "layer", "stacked");
            yi.paramsSetString("input", "orphan");
        },
        "stacked");
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(red(m, 0.3f, 0.3f), 0.25f);
    EXPECT_GE(log.count("missing texture"), 1);
}

// One channel of a layer: input X = 0.2 (alpha 1) over an upper layer Y = 0.5 (alpha 1) with
// colfac 0.5, so f = 1, g = 0.5 and k = f·g = 0.5. Expected values worked out by hand.
struct LayerCase {
    int mode;
    float expected;
};

TEST(LayerNode, EveryModeBlendsInputAndUpperLayerAsDocumented) {
    const LayerCase cases[] = {
        {0, 0.35f},   // mix: kX + (1 − k)Y
        {1, 0.6f},    // add: Y + kX
        {2, 0.3f},    // multiply: (1 − g + kX)·Y
        {3, 0.4f},    // subtract: Y − kX
        {4, 0.55f},   // screen: 1 − (1 − g + k(1 − X))(1 − Y)
        {5, 1.5f},    // divide: (1 − k)Y + kY/X
        {6, 0.4f},    // difference: (1 − k)Y + k|X − Y|
        {7, 0.1f},    // darken: min(kX, Y)
        {8, 0.5f},    // lighten: max(kX, Y)
        {42, 0.35f},  // unknown modes mix
    };
    NodeBench b;
    for (const LayerCase& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        const auto* m = b.material(
            [&](auto& yi) {
                NodeBench::value(yi, "lower", 0.2f);
                NodeBench::value(yi, "upper", 0.5f);
                NodeBench::node(yi, "layer", "layer");
                yi.paramsSetString("input", "lower");
                yi.paramsSetString("upper_layer", "upper");
                yi.paramsSetInt("mode", c.mode);
                yi.paramsSetFloat("colfac", 0.5);
            },
            "layer");
        ASSERT_NE(m, nullptr);
        EXPECT_NEAR(red(m, 0.5f, 0.5f), c.expected, 1e-6f);
    }
}

TEST(LayerNode, NegativeStencilAndScalarInputsFollowTheirFlags) {
    NodeBench b;
    auto layered = [&](const std::function<void(yafaray::yafrayInterface_t&)>& flags) {
        return b.material(
            [&](auto& yi) {
                NodeBench::value(yi, "lower", 0.2f, 0.8f);
                NodeBench::value(yi, "upper", 0.5f);
                NodeBench::node(yi, "layer", "layer");
                yi.paramsSetString("input", "lower");
                yi.paramsSetString("upper_layer", "upper");
                yi.paramsSetInt("mode", 0);
                flags(yi);
            },
            "layer");
    };
    // negative: X = 1 − 0.2 = 0.8 fully over Y.
    EXPECT_NEAR(red(layered([](auto& yi) { yi.paramsSetBool("negative", true); }), 0.5f, 0.5f), 0.8f, 1e-6f);
    // Scalar input: X = def_col, factor = the input's scalar 0.8 → 0.8·0.3 + 0.2·0.5.
    EXPECT_NEAR(red(layered([](auto& yi) {
                        yi.paramsSetBool("color_input", false);
                        yi.paramsSetColor("def_col", 0.3f, 0.3f, 0.3f, 1.f);
                    }),
                    0.5f, 0.5f),
                0.34f, 1e-6f);
    // Without an upper layer the constant upper_color serves: 0.5·0.2 + 0.5·0.9 with colfac ½.
    const auto* constant = b.material(
        [](auto& yi) {
            NodeBench::value(yi, "lower", 0.2f);
            NodeBench::node(yi, "layer", "layer");
            yi.paramsSetString("input", "lower");
            yi.paramsSetColor("upper_color", 0.9f, 0.9f, 0.9f, 1.f);
            yi.paramsSetFloat("colfac", 0.5);
        },
        "layer");
    EXPECT_NEAR(red(constant, 0.5f, 0.5f), 0.55f, 1e-6f);
}

// c1 = 0.6 and c2 = 0.4 mixed with factor 0.5; expected values worked out by hand.
TEST(MixNode, EveryModeCombinesTheTwoInputsByTheFactor) {
    const LayerCase cases[] = {
        {0, 0.5f},   // mix: (1 − f)c1 + f·c2
        {1, 0.8f},   // add: c1 + f·c2
        {2, 0.42f},  // multiply: c1·((1 − f) + f·c2)
        {3, 0.4f},   // subtract: c1 − f·c2
        {4, 0.68f},  // screen: 1 − ((1 − f) + f(1 − c2))(1 − c1)
        {5, 0.5f},   // divide: mixes
        {6, 0.4f},   // difference: (1 − f)c1 + f|c1 − c2|
        {7, 0.2f},   // darken: min(c1, f·c2)
        {8, 0.6f},   // lighten: max(c1, f·c2)
        {9, 0.56f},  // overlay, c1 ≥ ½: 1 − ((1 − f) + 2f(1 − c2))(1 − c1)
    };
    NodeBench b;
    for (const LayerCase& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        const auto* fromNodes = b.material(
            [&](auto& yi) {
                NodeBench::value(yi, "one", 0.6f);
                NodeBench::value(yi, "two", 0.4f);
                NodeBench::node(yi, "mix", "mix");
                yi.paramsSetString("input1", "one");
                yi.paramsSetString("input2", "two");
                yi.paramsSetFloat("value", 0.5);
                yi.paramsSetInt("mode", c.mode);
            },
            "mix");
        const auto* fromConstants = b.material(
            [&](auto& yi) {
                NodeBench::node(yi, "mix", "mix");
                yi.paramsSetColor("color1", 0.6f, 0.6f, 0.6f, 1.f);
                yi.paramsSetColor("color2", 0.4f, 0.4f, 0.4f, 1.f);
                yi.paramsSetFloat("value", 0.5);
                yi.paramsSetInt("mode", c.mode);
            },
            "mix");
        ASSERT_TRUE(fromNodes && fromConstants);
        EXPECT_NEAR(red(fromNodes, 0.5f, 0.5f), c.expected, 1e-6f);
        EXPECT_NEAR(red(fromConstants, 0.5f, 0.5f), c.expected, 1e-6f);
    }
}

TEST(MixNode, FactorNodeDrivesTheMixAndAMissingInputPairDropsTheNode) {
    NodeBench b;
    const auto* driven = b.material(
        [](auto& yi) {
            NodeBench::value(yi, "one", 0.6f);
            NodeBench::value(yi, "two", 0.4f);
            NodeBench::value(yi, "factor", 0.f, 0.25f);
            NodeBench::node(yi, "mix", "mix");
            yi.paramsSetString("input1", "one");
            yi.paramsSetString("input2", "two");
            yi.paramsSetString("factor", "factor");
        },
        "mix");
    ASSERT_NE(driven, nullptr);
    EXPECT_NEAR(red(driven, 0.5f, 0.5f), 0.75f * 0.6f + 0.25f * 0.4f, 1e-6f);

    LogCapture log;
    const auto* halfWired = b.material(
        [](auto& yi) {
            NodeBench::value(yi, "one", 0.6f);
            NodeBench::node(yi, "mix", "mix");
            yi.paramsSetString("input1", "one");
            yi.paramsSetFloat("value", 0.5);
        },
        "mix");
    ASSERT_NE(halfWired, nullptr);
    EXPECT_FLOAT_EQ(red(halfWired, 0.5f, 0.5f), 0.25f);
    EXPECT_GE(log.count("'mix'"), 1);
}

// A "value"-like node that counts its evaluations, to measure the work a node list costs.
std::atomic<long> countedEvaluations{0};

class countingNode_t : public yafaray::shaderNode_t {
public:
    bool configInputs(const yafaray::paraMap_t&, const yafaray::nodeFinder_t&) override { return true; }
    void eval(yafaray::nodeStack_t& stack, const yafaray::surfacePoint_t&) const override {
        ++countedEvaluations;
        stack[ID].col = yafaray::colorA_t(0.5f, 0.5f, 0.5f, 1.f);
        stack[ID].f = 0.5f;
    }
};

yafaray::shaderNode_t* countingNodeFactory(const yafaray::paraMap_t&, yafaray::renderEnvironment_t&) {
    return new countingNode_t;
}

// `length` mix nodes, each with both inputs on the next, over one counting node; "mix0" is the head.
void sharedMixChain(yafaray::yafrayInterface_t& yi, int length) {
    NodeBench::node(yi, "counting", "leaf");
    for (int i = length - 1; i >= 0; --i) {
        const std::string next = i + 1 == length ? "leaf" : "mix" + std::to_string(i + 1);
        NodeBench::node(yi, "mix", ("mix" + std::to_string(i)).c_str());
        yi.paramsSetString("input1", next.c_str());
        yi.paramsSetString("input2", next.c_str());
        yi.paramsSetFloat("value", 0.5);
    }
}

TEST(NodeGraph, SharedMixChainEvaluatesEachNodeOncePerPointAndRendersInProportionToItsNodes) {
    constexpr int kChain = 24;
    NodeBench b;
    b.s.yi.getRenderEnvironment()->registerFactory("counting", &countingNodeFactory);
    const auto* m = b.material([](auto& yi) { sharedMixChain(yi, kChain); }, "mix0");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(dynamic_cast<const yafaray::nodeMaterial_t*>(m)->nodeCount(), size_t(kChain + 1));

    countedEvaluations = 0;
    EXPECT_NEAR(red(m, 0.5f, 0.5f), 0.5f, 1e-6f);
    EXPECT_EQ(countedEvaluations.load(), 1);  // not 2^24

    // A 16×16 render: the leaf runs once per shading point, at most a few per pixel.
    b.s.yi.startGeometry();
    b.s.quad({-2, -2, 0}, {4, 0, 0}, {0, 4, 0}, m);
    b.s.yi.endGeometry();
    b.s.topCamera(3.f, 16, 16);
    b.s.sun({0, 0, 1});
    b.s.directLighting();
    countedEvaluations = 0;
    const auto image = b.s.render(16, 16);
    EXPECT_GE(countedEvaluations.load(), 16 * 16);
    EXPECT_LE(countedEvaluations.load(), 16 * 16 * 8);
    EXPECT_GT(image.data[(8 * 16 + 8) * 5], 0.f);
}

TEST(NodeGraph, MaterialWithTooManyNodesIsRefusedByNameAndRendersWithItsConstants) {
    NodeBench b;
    LogCapture log;
    const auto* m = b.material(
        [](auto& yi) {
            for (size_t i = 0; i <= yafaray::nodeMaterial_t::kMaxShaderNodes; ++i) {
                NodeBench::value(yi, ("v" + std::to_string(i)).c_str(), 0.9f);
            }
        },
        "v0");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(dynamic_cast<const yafaray::nodeMaterial_t*>(m)->nodeCount(), 0u);
    EXPECT_FLOAT_EQ(red(m, 0.5f, 0.5f), 0.25f);
    EXPECT_EQ(log.count("material 'material0' has 1025 shader nodes"), 1);
    EXPECT_EQ(log.count("does not exist"), 0);  // refused once, not per slot

    // One node fewer is a material like any other.
    const auto* fits = b.material(
        [](auto& yi) {
            for (size_t i = 0; i < yafaray::nodeMaterial_t::kMaxShaderNodes; ++i) {
                NodeBench::value(yi, ("v" + std::to_string(i)).c_str(), 0.9f);
            }
        },
        "v0");
    EXPECT_FLOAT_EQ(red(fits, 0.5f, 0.5f), 0.9f);
}

}  // namespace
