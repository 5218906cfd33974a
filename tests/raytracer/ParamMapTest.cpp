#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "raytracer/core/ParamMap.h"

namespace {

using enginetest::LogCapture;
using enginetest::SceneBuilder;
using yafaray::paraMap_t;
using yafaray::parameter_t;

TEST(ParamMap, ValuesAreHandedOutOnlyAsTheTypeTheyWereStoredWith) {
    paraMap_t map;
    map.setParam("samples", parameter_t(4.0));
    map.setParam("H", parameter_t(0.5));
    int samples = 7;
    EXPECT_FALSE(map.getParam("samples", samples));
    EXPECT_EQ(samples, 7);
    double h = 0.0;
    EXPECT_FALSE(map.getParam("h", h));  // keys are case-sensitive
    EXPECT_TRUE(map.getParam("H", h));
    EXPECT_EQ(h, 0.5);
    float hf = 0.f;
    EXPECT_TRUE(map.getParam("H", hf));  // floats are stored as double and read as either
    EXPECT_EQ(hf, 0.5f);
}

TEST(ParamMap, RemembersWhichParametersWereRead) {
    paraMap_t map;
    map.setParam("used", parameter_t(1));
    map.setParam("misspelt", parameter_t(std::string("x")));
    int v = 0;
    map.getParam("used", v);
    ASSERT_EQ(map.unreadParameters().size(), 1u);
    EXPECT_EQ(map.unreadParameters()[0], "misspelt (string)");
    map.resetReadMarks();
    EXPECT_EQ(map.unreadParameters().size(), 2u);
}

TEST(RenderEnvironment, UnusedParametersAreLoggedOncePerCreateCall) {
    SceneBuilder s;
    LogCapture log;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "sunlight");
    s.yi.paramsSetFloat("samples", 4.0);  // wrong type: an int is expected
    s.yi.paramsSetFloat("colour", 1.0);
    ASSERT_NE(s.yi.createLight("sun1"), nullptr);
    EXPECT_EQ(log.count("unused parameter 'samples (float)' for sunlight"), 1);
    EXPECT_EQ(log.count("unused parameter 'colour"), 1);
    EXPECT_EQ(log.count("'type"), 0);
    // The map is not cleared by a create call: the next one reports again, once.
    ASSERT_NE(s.yi.createLight("sun2"), nullptr);
    EXPECT_EQ(log.count("unused parameter 'colour"), 2);
}

TEST(RenderEnvironment, CreateWithAnUnregisteredTypeReturnsNullAndLogsTheName) {
    SceneBuilder s;
    LogCapture log;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "FixedNoiseVolume");
    EXPECT_EQ(s.yi.createVolumeRegion("clouds"), nullptr);
    EXPECT_GE(log.count("FixedNoiseVolume"), 1);
    s.yi.paramsClearAll();
    EXPECT_EQ(s.yi.createMaterial("untyped"), nullptr);  // no type at all
    EXPECT_GE(log.count("untyped"), 1);
}

TEST(RenderEnvironment, NamesAreUniqueUntilClearAll) {
    SceneBuilder s;
    LogCapture log;
    EXPECT_NE(s.diffuse("m"), nullptr);
    EXPECT_EQ(s.diffuse("m"), nullptr);
    EXPECT_GE(log.count("already exists"), 1);
    s.yi.clearAll();
    EXPECT_NE(s.diffuse("m"), nullptr);  // factories survive clearAll
}

TEST(RenderEnvironment, StockRegistrationProvidesTheTypesTheLayersUse) {
    SceneBuilder s;
    const auto& env = *s.yi.getRenderEnvironment();
    for (const char* t : {"sunlight", "pointlight", "directional", "spotlight", "arealight", "spherelight"}) {
        EXPECT_TRUE(env.hasFactory("light", t)) << t;
    }
    EXPECT_TRUE(env.hasFactory("material", "shinydiffusemat"));
    EXPECT_TRUE(env.hasFactory("integrator", "directlighting"));
    EXPECT_TRUE(env.hasFactory("background", "gradientback"));
    EXPECT_TRUE(env.hasFactory("background", "constant"));
    for (const char* t : {"perspective", "architect", "angular", "orthographic"}) {
        EXPECT_TRUE(env.hasFactory("camera", t)) << t;
    }
}

TEST(RenderEnvironment, ListParametersStayOutOfTheMainMap) {
    SceneBuilder s;
    LogCapture log;
    s.yi.paramsClearAll();
    s.yi.paramsSetString("type", "shinydiffusemat");
    s.yi.paramsPushList();
    s.yi.paramsSetString("element", "shader_node");
    s.yi.paramsSetString("type", "texture_mapper");
    s.yi.paramsEndList();
    s.yi.paramsSetFloat("diffuse_reflect", 0.5);
    EXPECT_NE(s.yi.createMaterial("withNode"), nullptr);  // "type" of the node did not replace it
    EXPECT_EQ(log.count("unused parameter"), 0);
}

}  // namespace
