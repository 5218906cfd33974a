#include "ModelBuilder.h"

#include <cmath>
#include <numbers>

namespace korvane::meshlibrary {

namespace {
constexpr float kPi = std::numbers::pi_v<float>;
}  // namespace

int ModelBuilder::material(const std::string& name, Point3 diffuse) {
    contents_.materials.push_back({name, diffuse, 0.0f});
    return static_cast<int>(contents_.materials.size()) - 1;
}

ThreeDSMesh& ModelBuilder::newMesh(const std::string& name) {
    contents_.meshes.push_back({});
    contents_.meshes.back().name = name;
    return contents_.meshes.back();
}

void ModelBuilder::quad(ThreeDSMesh& mesh, uint32_t a, uint32_t b, uint32_t c, uint32_t d, int material) {
    mesh.faces.push_back({{a, b, c}, material});
    mesh.faces.push_back({{a, c, d}, material});
}

void ModelBuilder::box(const std::string& name, Point3 low, Point3 high, int material) {
    const Point3 centre{(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2};
    turnedBox(name, centre, {high[0] - low[0], high[1] - low[1], high[2] - low[2]}, 0.0f, material);
}

void ModelBuilder::turnedBox(const std::string& name, Point3 centre, Point3 size, float degrees, int material) {
    ThreeDSMesh& mesh = newMesh(name);
    const float c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    for (int corner = 0; corner < 8; ++corner) {
        const float x = (corner & 1 ? 0.5f : -0.5f) * size[0];
        const float y = (corner & 2 ? 0.5f : -0.5f) * size[1];
        const float z = (corner & 4 ? 0.5f : -0.5f) * size[2];
        mesh.points.push_back({centre[0] + x * c - y * s, centre[1] + x * s + y * c, centre[2] + z});
        mesh.texels.push_back({corner & 1 ? 1.0f : 0.0f, corner & 4 ? 1.0f : 0.0f});
    }
    quad(mesh, 0, 2, 3, 1, material);  // bottom
    quad(mesh, 4, 5, 7, 6, material);  // top
    quad(mesh, 0, 1, 5, 4, material);  // front (−y)
    quad(mesh, 2, 6, 7, 3, material);  // back (+y)
    quad(mesh, 0, 4, 6, 2, material);  // left (−x)
    quad(mesh, 1, 3, 7, 5, material);  // right (+x)
}

void ModelBuilder::gable(const std::string& name, float x0, float x1, float y0, float y1, float z0, float z1,
                         int material) {
    ThreeDSMesh& mesh = newMesh(name);
    const float ym = (y0 + y1) / 2;
    for (float x : {x0, x1}) {
        mesh.points.push_back({x, y0, z0});
        mesh.points.push_back({x, y1, z0});
        mesh.points.push_back({x, ym, z1});
    }
    mesh.texels = {{0, 0}, {1, 0}, {0.5f, 1}, {0, 0}, {1, 0}, {0.5f, 1}};
    mesh.faces.push_back({{0, 2, 1}, material});  // gable end at x0
    mesh.faces.push_back({{3, 4, 5}, material});  // gable end at x1
    quad(mesh, 0, 3, 5, 2, material);             // slope towards y0
    quad(mesh, 1, 2, 5, 4, material);             // slope towards y1
    quad(mesh, 0, 1, 4, 3, material);             // underside
}

void ModelBuilder::frustum(const std::string& name, float x, float y, float z0, float z1, float r0, float r1,
                           int segments, int material) {
    std::vector<std::vector<Point3>> rings(2);
    for (int i = 0; i < segments; ++i) {
        const float a = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
        rings[0].push_back({x + r0 * std::cos(a), y + r0 * std::sin(a), z0});
        rings[1].push_back({x + r1 * std::cos(a), y + r1 * std::sin(a), z1});
    }
    loft(name, rings, true, material);
}

void ModelBuilder::loft(const std::string& name, const std::vector<std::vector<Point3>>& rings, bool closeRings,
                        int material) {
    ThreeDSMesh& mesh = newMesh(name);
    const auto perRing = static_cast<uint32_t>(rings.front().size());
    for (size_t r = 0; r < rings.size(); ++r) {
        for (uint32_t i = 0; i < perRing; ++i) {
            mesh.points.push_back(rings[r][i]);
            mesh.texels.push_back({static_cast<float>(i) / static_cast<float>(perRing),
                                   static_cast<float>(r) / static_cast<float>(rings.size() - 1)});
        }
    }
    const uint32_t edges = closeRings ? perRing : perRing - 1;
    for (uint32_t r = 0; r + 1 < rings.size(); ++r) {
        for (uint32_t i = 0; i < edges; ++i) {
            const uint32_t next = (i + 1) % perRing;
            quad(mesh, r * perRing + i, r * perRing + next, (r + 1) * perRing + next, (r + 1) * perRing + i, material);
        }
    }
    // Caps: fans around a centre point of the first and the last ring.
    for (size_t end : {size_t{0}, rings.size() - 1}) {
        Point3 centre{0, 0, 0};
        for (const Point3& p : rings[end]) {
            for (int c = 0; c < 3; ++c) centre[c] += p[c] / static_cast<float>(perRing);
        }
        const auto centreIndex = static_cast<uint32_t>(mesh.points.size());
        mesh.points.push_back(centre);
        mesh.texels.push_back({0.5f, 0.5f});
        const auto base = static_cast<uint32_t>(end) * perRing;
        for (uint32_t i = 0; i < edges; ++i) {
            const uint32_t next = (i + 1) % perRing;
            if (end == 0) {
                mesh.faces.push_back({{centreIndex, base + next, base + i}, material});
            } else {
                mesh.faces.push_back({{centreIndex, base + i, base + next}, material});
            }
        }
    }
}

void ModelBuilder::stone(const std::string& name, Point3 centre, float radius, int material) {
    ThreeDSMesh& mesh = newMesh(name);
    constexpr int kRings = 10;
    constexpr int kSegments = 16;
    auto lump = [](float a, float b) {
        return 1.0f + 0.12f * std::sin(3 * a + 1.3f) * std::cos(2 * b) + 0.07f * std::sin(5 * b + 2 * a) +
               0.05f * std::cos(7 * a - 3 * b);
    };
    mesh.points.push_back({centre[0], centre[1], centre[2] - radius * 0.55f});  // bottom pole
    mesh.texels.push_back({0.5f, 0});
    for (int ring = 1; ring < kRings; ++ring) {
        const float b = kPi * static_cast<float>(ring) / kRings - kPi / 2;  // latitude
        for (int segment = 0; segment < kSegments; ++segment) {
            const float a = 2 * kPi * static_cast<float>(segment) / kSegments;
            const float r = radius * lump(a, b);
            float z = r * std::sin(b) * 0.8f;
            z = std::max(z, -radius * 0.55f);  // the stone sits flat on the ground
            mesh.points.push_back({centre[0] + r * std::cos(b) * std::cos(a) * 1.2f,
                                   centre[1] + r * std::cos(b) * std::sin(a), centre[2] + z});
            mesh.texels.push_back({static_cast<float>(segment) / kSegments, static_cast<float>(ring) / kRings});
        }
    }
    const auto top = static_cast<uint32_t>(mesh.points.size());
    mesh.points.push_back({centre[0], centre[1], centre[2] + radius * 0.8f * lump(0.4f, kPi / 2)});
    mesh.texels.push_back({0.5f, 1});
    auto at = [](int ring, int segment) { return static_cast<uint32_t>(1 + (ring - 1) * kSegments + segment % kSegments); };
    for (int segment = 0; segment < kSegments; ++segment) {
        mesh.faces.push_back({{0, at(1, segment + 1), at(1, segment)}, material});
        mesh.faces.push_back({{top, at(kRings - 1, segment), at(kRings - 1, segment + 1)}, material});
        for (int ring = 1; ring + 1 < kRings; ++ring) {
            quad(mesh, at(ring, segment), at(ring, segment + 1), at(ring + 1, segment + 1), at(ring + 1, segment),
                 material);
        }
    }
}

}  // namespace korvane::meshlibrary
