#pragma once

#include <array>
#include <string>
#include <vector>

#include "scene/layers/mesh/ThreeDSFile.h"

namespace korvane::meshlibrary {

using Point3 = std::array<float, 3>;

// Builds the contents of a 3DS file from simple solids, in the file's coordinates (z up). Every
// solid becomes a mesh of its own with outward-facing (counter-clockwise) triangles.
class ModelBuilder {
public:
    // Adds a material (red, green, blue in 0…1) and answers its index.
    int material(const std::string& name, Point3 diffuse);

    // An axis-aligned box from `low` to `high`.
    void box(const std::string& name, Point3 low, Point3 high, int material);
    // A box turned about the vertical axis by `degrees` around its own centre.
    void turnedBox(const std::string& name, Point3 centre, Point3 size, float degrees, int material);
    // A prism along x whose cross-section is the triangle (y0, z0), (y1, z0), (ym, z1): a gable roof.
    void gable(const std::string& name, float x0, float x1, float y0, float y1, float z0, float z1, int material);
    // A closed frustum about the vertical axis through (x, y), from radius r0 at z0 to r1 at z1
    // (r1 0 makes a cone).
    void frustum(const std::string& name, float x, float y, float z0, float z1, float r0, float r1, int segments,
                 int material);
    // A closed solid of revolution-like rings: ring i has the given points (same count each), the
    // first and last rings are capped.
    void loft(const std::string& name, const std::vector<std::vector<Point3>>& rings, bool closeRings, int material);
    // A lumpy stone: a sphere of `radius` around `centre` pushed in and out by a fixed pattern and
    // flattened underneath.
    void stone(const std::string& name, Point3 centre, float radius, int material);

    const ThreeDSFile& contents() const { return contents_; }

private:
    ThreeDSMesh& newMesh(const std::string& name);
    static void quad(ThreeDSMesh& mesh, uint32_t a, uint32_t b, uint32_t c, uint32_t d, int material);

    ThreeDSFile contents_;
};

}  // namespace korvane::meshlibrary
