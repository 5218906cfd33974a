#include "scene/layers/preview/MaterialPreviewLayer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LayerTestSupport.h"
#include "raytracer/EngineTestSupport.h"
#include "scene/materials/DiffuseMaterial.h"

namespace korvane {
namespace {

// Writes down the geometry calls with their values, which the plain recorder only counts.
class GeometryRecorder final : public RecordingInterface {
public:
    using RecordingInterface::addTriangle;
    using RecordingInterface::addVertex;

    bool startTriMesh(unsigned int& id, int v, int t, bool hasOrco, bool hasUV, int type) override {
        geometry.push_back("startTriMesh " + std::to_string(v) + " " + std::to_string(t) +
                           (hasOrco ? " orco" : " no-orco") + (hasUV ? " uv " : " no-uv ") +
                           std::to_string(type));
        return RecordingInterface::startTriMesh(id, v, t, hasOrco, hasUV, type);
    }
    int addVertex(double x, double y, double z) override {
        geometry.push_back("addVertex " + number(x) + " " + number(y) + " " + number(z));
        return RecordingInterface::addVertex(x, y, z);
    }
    int addUV(float u, float v) override {
        geometry.push_back("addUV " + number(u) + " " + number(v));
        return RecordingInterface::addUV(u, v);
    }
    bool addTriangle(int a, int b, int c, int uvA, int uvB, int uvC,
                     const yafaray::material_t* mat) override {
        geometry.push_back("addTriangle " + std::to_string(a) + " " + std::to_string(b) + " " +
                           std::to_string(c) + " uv " + std::to_string(uvA) + " " + std::to_string(uvB) +
                           " " + std::to_string(uvC));
        triangleMaterials.push_back(mat);
        return RecordingInterface::addTriangle(a, b, c, uvA, uvB, uvC, mat);
    }
    bool endTriMesh() override {
        geometry.push_back("endTriMesh");
        return RecordingInterface::endTriMesh();
    }

    std::vector<std::string> geometry;
    std::vector<const yafaray::material_t*> triangleMaterials;
};

// The ray tracer as the layer sees it, with the stock plug-ins and the scene open for meshes.
class GeometryRenderer final : public BaseRenderer {
public:
    GeometryRenderer() {
        enginetest::registerStockPlugins(*recorder.getRenderEnvironment());
        recorder.startScene(0);
        recorder.startGeometry();
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &recorder; }
    mutable GeometryRecorder recorder;
};

std::shared_ptr<DiffuseMaterial> presetMaterial(const std::string& key) {
    auto material = std::make_shared<DiffuseMaterial>();
    material->configureWithPresetKey(key);
    return material;
}

TEST(MaterialPreviewLayerTest, TableValuesAndCopiesShareTheMaterial) {
    Scene scene;
    MaterialPreviewLayer layer(&scene);
    EXPECT_EQ(layer.name(), "Material Preview");
    EXPECT_EQ(layer.scene(), &scene);
    EXPECT_EQ(layer.material(), nullptr);
    EXPECT_FALSE(layer.canBeDeleted());
    EXPECT_EQ(layer.orderForFunctionsList(), 100);
    EXPECT_TRUE(layer.icon().empty());
    EXPECT_TRUE(layer.editLayerClassName().empty());

    layer.setMaterial(presetMaterial("snow"));
    auto copy = std::dynamic_pointer_cast<MaterialPreviewLayer>(layer.copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->material(), layer.material()) << "the copy shows the very material being edited";
    EXPECT_EQ(copy->scene(), nullptr);
}

TEST(MaterialPreviewLayerTest, SwatchIsATexturedSquareCarryingTheMaterial) {
    MaterialPreviewLayer layer;
    layer.setMaterial(presetMaterial("redrocks3"));
    GeometryRenderer renderer;
    layer.appendToRenderer(renderer);

    // The material comes first, under its renderer name.
    const std::string createMaterial =
        "createMaterial \"" + layer.material()->materialNameForRenderer() + "\"";
    EXPECT_GE(renderer.recorder.indexOf(createMaterial), 0);
    const std::vector<std::string> expected = {
        "startTriMesh 8 12 no-orco uv 0",
        "addVertex -5 -5 0.1",
        "addVertex -5 15 0.1",
        "addVertex 15 15 0.1",
        "addVertex 15 -5 0.1",
        "addUV 0 0",
        "addUV 0 0.5",
        "addUV 0.5 0.5",
        "addUV 0.5 0",
        "addTriangle 2 1 0 uv 2 1 0",
        "addTriangle 0 3 2 uv 0 3 2",
        "endTriMesh",
    };
    EXPECT_EQ(renderer.recorder.geometry, expected);
    ASSERT_EQ(renderer.recorder.triangleMaterials.size(), 2u);
    EXPECT_NE(renderer.recorder.triangleMaterials[0], nullptr);
    EXPECT_EQ(renderer.recorder.triangleMaterials[0], renderer.recorder.triangleMaterials[1]);
}

TEST(MaterialPreviewLayerTest, AppendsNothingToOtherRenderersAndCopesWithoutAMaterial) {
    MaterialPreviewLayer layer;
    layer.setMaterial(presetMaterial("snow"));
    testing::ForeignRenderer foreign;
    layer.appendToRenderer(foreign);
    EXPECT_TRUE(foreign.recorder.calls.empty());
    EXPECT_EQ(foreign.recorder.meshes, 0);

    // Without a material the square is still there, with no material on it.
    MaterialPreviewLayer bare;
    GeometryRenderer renderer;
    bare.appendToRenderer(renderer);
    EXPECT_EQ(renderer.recorder.triangles, 2);
    EXPECT_EQ(renderer.recorder.triangleMaterials,
              (std::vector<const yafaray::material_t*>{nullptr, nullptr}));
}

}  // namespace
}  // namespace korvane
