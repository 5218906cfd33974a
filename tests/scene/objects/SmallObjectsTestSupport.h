#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "raytracer/core/MemoryImages.h"
#include "RecordingInterface.h"
#include "scene/BaseRenderer.h"
#include "scene/BaseSceneLayer.h"

namespace korvane::testing::smallobjects {

// Records the calls and also keeps every vertex the layers add, and the image files that textures
// name as they were on disk at the moment the texture was created.
class VertexRecordingInterface : public RecordingInterface {
public:
    struct Vertex {
        double x, y, z;
    };
    std::vector<Vertex> vertexList;
    struct TextureFile {
        std::string path;
        std::optional<std::vector<uint8_t>> contents;  // none when the file did not exist
        std::shared_ptr<const yafaray::memoryImage_t> image;  // registered in memory under the path
    };
    std::vector<TextureFile> textureFiles;

    int addVertex(double x, double y, double z) override {
        vertexList.push_back({x, y, z});
        return RecordingInterface::addVertex(x, y, z);
    }
    void paramsSetString(const char* name, const char* s) override {
        if (std::string(name) == "filename") filename_ = s;
        RecordingInterface::paramsSetString(name, s);
    }
    yafaray::texture_t* createTexture(const char* name) override {
        if (filename_) {
            std::ifstream file(*filename_, std::ios::binary);
            std::optional<std::vector<uint8_t>> contents;
            if (file) contents.emplace(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            textureFiles.push_back({*filename_, std::move(contents), yafaray::findMemoryImage(*filename_)});
            filename_.reset();
        }
        return RecordingInterface::createTexture(name);
    }

private:
    std::optional<std::string> filename_;
};

// The ray-tracing renderer as the layers see it, answering with a recording interface whose
// scene is open for geometry.
class RecordingRenderer final : public BaseRenderer {
public:
    RecordingRenderer() {
        yi.startScene();
        yi.startGeometry();
    }
    bool isYafarayRenderer() const override { return true; }
    yafaray::yafrayInterface_t* yafrayinterface() const override { return &yi; }

    mutable VertexRecordingInterface yi;
};

// A renderer that is not the ray tracer: layers must append nothing to it.
class OtherRenderer final : public BaseRenderer {};

// Ground of constant height, or a plane rising with x (height = slope × x + base).
class FlatGroundLayer final : public BaseSceneLayer {
public:
    FlatGroundLayer(float base, float slope = 0) : base_(base), slope_(slope) {}
    std::optional<float> terrainElevationAtScenePoint(Point p) const override {
        return base_ + slope_ * static_cast<float>(p.x);
    }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<FlatGroundLayer>(base_, slope_); }
    std::string archiveClassName() const override { return "FlatGroundLayer"; }

private:
    float base_, slope_;
};

// A lake covering the whole scene at a fixed height.
class LakeLayer final : public BaseSceneLayer {
public:
    explicit LakeLayer(float height) : height_(height) {}
    std::optional<float> activeWaterSurfaceHeight() const override { return height_; }
    std::shared_ptr<BaseSceneLayer> copy() const override { return std::make_shared<LakeLayer>(height_); }
    std::string archiveClassName() const override { return "LakeLayer"; }

private:
    float height_;
};

}  // namespace korvane::testing::smallobjects
