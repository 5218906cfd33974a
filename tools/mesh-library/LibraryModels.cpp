#include "LibraryModels.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ModelBuilder.h"

namespace korvane::meshlibrary {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// A log cabin of 5 × 4 m with a gable roof, a door, two windows and a stone chimney.
ThreeDSFile cabin() {
    ModelBuilder b;
    const int logs = b.material("Logs", {0.45f, 0.30f, 0.18f});
    const int roof = b.material("Roof", {0.35f, 0.16f, 0.12f});
    const int door = b.material("Door", {0.28f, 0.17f, 0.09f});
    const int glass = b.material("Window", {0.15f, 0.20f, 0.28f});
    const int stone = b.material("Stone", {0.50f, 0.50f, 0.48f});
    b.box("walls", {0, 0, 0}, {5, 4, 2.4f}, logs);
    b.gable("roof", -0.3f, 5.3f, -0.4f, 4.4f, 2.4f, 4.0f, roof);
    b.box("door", {2.05f, -0.06f, 0}, {2.95f, 0, 1.9f}, door);
    b.box("window1", {0.6f, -0.05f, 1.0f}, {1.5f, 0, 1.8f}, glass);
    b.box("window2", {3.5f, -0.05f, 1.0f}, {4.4f, 0, 1.8f}, glass);
    b.box("chimney", {3.8f, 2.6f, 2.0f}, {4.4f, 3.2f, 4.5f}, stone);
    return b.contents();
}

// A fir of 7 m: a trunk under four tiers of needles narrowing towards the top.
ThreeDSFile firTree() {
    ModelBuilder b;
    const int bark = b.material("Bark", {0.30f, 0.20f, 0.12f});
    const int needles = b.material("Needles", {0.10f, 0.28f, 0.12f});
    b.frustum("trunk", 0, 0, 0, 1.6f, 0.22f, 0.16f, 10, bark);
    const float tiers[4][3] = {{1.0f, 3.4f, 1.9f}, {2.4f, 4.7f, 1.5f}, {3.7f, 5.9f, 1.1f}, {4.9f, 7.0f, 0.7f}};
    for (int i = 0; i < 4; ++i) {
        b.frustum("needles" + std::to_string(i + 1), 0, 0, tiers[i][0], tiers[i][1], tiers[i][2], 0.0f, 14, needles);
    }
    return b.contents();
}

// A weathered granite boulder about 2 m across, flat underneath.
ThreeDSFile boulder() {
    ModelBuilder b;
    const int granite = b.material("Granite", {0.52f, 0.50f, 0.47f});
    b.stone("boulder", {0, 0, 0.55f}, 1.0f, granite);
    return b.contents();
}

// Four metres of post-and-rail fence: five posts, two rails.
ThreeDSFile fence() {
    ModelBuilder b;
    const int wood = b.material("Fence wood", {0.55f, 0.45f, 0.33f});
    for (int post = 0; post < 5; ++post) {
        const auto x = static_cast<float>(post);
        b.box("post" + std::to_string(post + 1), {x - 0.06f, -0.06f, 0}, {x + 0.06f, 0.06f, 1.2f}, wood);
    }
    b.box("rail1", {-0.1f, -0.09f, 0.45f}, {4.1f, -0.06f, 0.6f}, wood);
    b.box("rail2", {-0.1f, -0.09f, 0.9f}, {4.1f, -0.06f, 1.05f}, wood);
    return b.contents();
}

// A 3.6 m rowing boat: a hull lofted from U-shaped sections pointed at the bow, two thwarts and a
// pair of oars resting across.
ThreeDSFile rowingBoat() {
    ModelBuilder b;
    const int paint = b.material("Hull paint", {0.85f, 0.85f, 0.82f});
    const int wood = b.material("Boat wood", {0.50f, 0.34f, 0.20f});
    constexpr int kSections = 9;
    constexpr int kPointsPerSection = 9;
    const float length = 3.6f;
    std::vector<std::vector<Point3>> sections;
    for (int s = 0; s < kSections; ++s) {
        const float t = static_cast<float>(s) / (kSections - 1);  // 0 stern … 1 bow
        const float x = t * length;
        // Widest a little behind the middle; the stern is a narrow transom, the bow a point.
        const float halfWidth = 0.65f * std::pow(std::max(0.0f, std::sin(kPi * (0.18f + 0.82f * t))), 0.8f);
        const float depth = 0.45f - 0.1f * t;
        const float sheer = 0.55f + 0.15f * t * t;  // the gunwale rises towards the bow
        std::vector<Point3> section;
        for (int p = 0; p < kPointsPerSection; ++p) {
            // From the port gunwale under the keel to the starboard gunwale.
            const float a = kPi * static_cast<float>(p) / (kPointsPerSection - 1);
            section.push_back({x, -halfWidth * std::cos(a), sheer - depth * std::sin(a)});
        }
        sections.push_back(section);
    }
    b.loft("hull", sections, false, paint);
    b.box("thwart1", {1.0f, -0.55f, 0.35f}, {1.25f, 0.55f, 0.4f}, wood);
    b.box("thwart2", {2.1f, -0.5f, 0.35f}, {2.35f, 0.5f, 0.4f}, wood);
    b.turnedBox("oar1", {1.6f, -0.35f, 0.62f}, {2.6f, 0.06f, 0.04f}, 8.0f, wood);
    b.turnedBox("oar2", {1.6f, 0.35f, 0.62f}, {2.6f, 0.06f, 0.04f}, -8.0f, wood);
    return b.contents();
}

}  // namespace

std::vector<LibraryModel> libraryModels() {
    return {{"Cabin", cabin()}, {"Fir Tree", firTree()}, {"Boulder", boulder()}, {"Fence", fence()},
            {"Rowing Boat", rowingBoat()}};
}

}  // namespace korvane::meshlibrary
