#pragma once

// What the mesh tests share: 3DS files written with lib3ds into a private folder, and a
// ray-tracing renderer whose interface remembers the vertices and triangles it was given.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "RecordingInterface.h"
#include "scene/BaseRenderer.h"
#include "scene/layers/mesh/ThreeDSFile.h"

namespace korvane::testing {

// A folder removed with its files at the end of the test.
class ScratchFolder {
public:
    ScratchFolder() {
        path_ = std::filesystem::temp_directory_path() /
                ("korvane-mesh-test-" + std::to_string(getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static int& counter() {
        static int value = 0;
        return value;
    }
    std::filesystem::path path_;
};

// One mesh of the eight corners of the box from `low` to `high` (the file's coordinates, z up) with
// its twelve triangles, all of material `material`.
inline ThreeDSMesh boxMesh(const std::string& name, std::array<float, 3> low, std::array<float, 3> high,
                           int material = -1) {
    ThreeDSMesh mesh;
    mesh.name = name;
    for (int corner = 0; corner < 8; ++corner) {
        mesh.points.push_back({corner & 1 ? high[0] : low[0], corner & 2 ? high[1] : low[1],
                               corner & 4 ? high[2] : low[2]});
    }
    const uint32_t quads[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    for (const auto& q : quads) {
        mesh.faces.push_back({{q[0], q[1], q[2]}, material});
        mesh.faces.push_back({{q[0], q[2], q[3]}, material});
    }
    return mesh;
}

// Writes the contents with lib3ds and fails the test when that does not work.
inline std::string write3ds(const ScratchFolder& folder, const std::string& name, const ThreeDSFile& contents) {
    const std::string path = folder.file(name);
    std::string error;
    EXPECT_TRUE(writeThreeDSFile(contents, path, &error)) << error;
    return path;
}

// An engine interface that keeps every vertex it receives and counts the triangles per mesh.
class GeometryRecorder : public RecordingInterface {
public:
    using RecordingInterface::addTriangle;
    using RecordingInterface::addVertex;
    std::vector<std::array<double, 3>> points;
    std::vector<std::array<float, 2>> uvs;
    std::vector<const yafaray::material_t*> triangleMaterials;
    std::vector<double> smoothingAngles;

    int addVertex(double x, double y, double z) override {
        points.push_back({x, y, z});
        return RecordingInterface::addVertex(x, y, z);
    }
    int addUV(float u, float v) override {
        uvs.push_back({u, v});
        return RecordingInterface::addUV(u, v);
    }
    bool addTriangle(int a, int b, int c, int uvA, int uvB, int uvC, const yafaray::material_t* mat) override {
        triangleMaterials.push_back(mat);
        return RecordingInterface::addTriangle(a, b, c, uvA, uvB, uvC, mat);
    }
    bool smoothMesh(unsigned int id, double angle) override {
        smoothingAngles.push_back(angle);
        return RecordingInterface::smoothMesh(id, angle);
    }
};

class GeometryRenderer final : public BaseRenderer {
public:
    explicit GeometryRenderer(std::shared_ptr<const Scene> scene = nullptr) {
        if (scene) renderScene(std::move(scene), nullptr);
        recorder.startGeometry();
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &recorder; }
    mutable GeometryRecorder recorder;
};

}  // namespace korvane::testing
