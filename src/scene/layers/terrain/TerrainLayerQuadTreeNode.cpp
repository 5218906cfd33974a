#include "scene/layers/terrain/TerrainLayerQuadTreeNode.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "foundation/Random.h"
#include "raytracer/interface.h"
#include "scene/Scene.h"
#include "scene/layers/terrain/HeightmapSampler.h"
#include "scene/layers/terrain/TerrainLayer.h"

namespace korvane {

namespace {

// Every build refines at least this deep: 256 leaves.
constexpr uint32_t kMinimumLevel = 4;
// Splits at this level and deeper count against the build's budget.
constexpr uint32_t kHighDetailLevel = 9;
// Within this Manhattan distance (pixels) of the camera a node weighs six times.
constexpr float kCameraFalloffPixels = 75.0f;

// Corner positions of a rectangle, by corner index.
Point cornerOf(const Rect& r, int corner) {
    return {(corner & 1) ? r.origin.x + r.size.width : r.origin.x,
            (corner & 2) ? r.origin.y + r.size.height : r.origin.y};
}

// The two sides that meet at each corner.
constexpr int kCornerSides[4][2] = {
    {TerrainLayerQuadTreeNode::kMinusY, TerrainLayerQuadTreeNode::kMinusX},
    {TerrainLayerQuadTreeNode::kMinusY, TerrainLayerQuadTreeNode::kPlusX},
    {TerrainLayerQuadTreeNode::kPlusY, TerrainLayerQuadTreeNode::kMinusX},
    {TerrainLayerQuadTreeNode::kPlusY, TerrainLayerQuadTreeNode::kPlusX},
};

void logLine(const char* line) {
    std::cout << line << std::endl;
}

// The heightmap value (0..1) at a point in scene units.
float sampleAtScenePoint(const uint16_t* samples, Size bitmapSize, Size sceneSize, double x, double y) {
    const float px = static_cast<float>(x / sceneSize.width * bitmapSize.width);
    const float py = static_cast<float>(y / sceneSize.height * bitmapSize.height);
    return interpolatedValueFromBitmapData(samples, bitmapSize, px, py);
}

}  // namespace

uint32_t TerrainQuadTreeBuild::nextRandom() {
    // splitmix64: cheap, well mixed, and private to the build, so concurrent builds never share it.
    uint64_t z = (randomState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 33);
}

TerrainLayerQuadTreeNode::TerrainLayerQuadTreeNode(const TerrainLayer& terrainLayer)
    : ownedBuild_(std::make_unique<TerrainQuadTreeBuild>()), build_(ownedBuild_.get()) {
    build_->borderMode = terrainLayer.borderMode();
    if (const Scene* scene = terrainLayer.scene()) {
        build_->maxTerrainHeight = scene->maxTerrainHeight();
        build_->sizeOverflow = scene->sizeOverflow();
    }
    // Not reseeded per build: two renders of one scene may triangulate differently.
    build_->randomState = (static_cast<uint64_t>(randomInt()) << 31) ^ static_cast<uint64_t>(randomInt());
}

TerrainLayerQuadTreeNode::~TerrainLayerQuadTreeNode() = default;

TerrainLayerQuadTreeNode* TerrainLayerQuadTreeNode::getSubnode(int index) const {
    if (!subnodes_ || index < 0 || index > 3) return nullptr;
    return &subnodes_[index];
}

int TerrainLayerQuadTreeNode::getSubnodePosition(const TerrainLayerQuadTreeNode* node) const {
    for (int i = 0; i < 3; ++i) {
        if (node && node == getSubnode(i)) return i;
    }
    return 3;
}

TerrainLayerQuadTreeNode* TerrainLayerQuadTreeNode::getNeighbor(int side) const {
    return side >= 0 && side < 4 ? neighbors_[side] : nullptr;
}

void TerrainLayerQuadTreeNode::setNeighbor(TerrainLayerQuadTreeNode* node, int side) {
    if (side >= 0 && side < 4) neighbors_[side] = node;
}

uint32_t TerrainLayerQuadTreeNode::vertexIDAtEdge(int corner) const {
    return corner >= 0 && corner < 4 ? vertexIDs_[corner] : kNoVertex;
}

void TerrainLayerQuadTreeNode::setVertexID(uint32_t vertexID, int corner) {
    if (corner >= 0 && corner < 4) vertexIDs_[corner] = vertexID;
}

bool TerrainLayerQuadTreeNode::isOuterBorder(int side) const {
    if (neighbors_[side]) return false;
    return !supernode_ || !supernode_->neighbors_[side];
}

void TerrainLayerQuadTreeNode::resetDetailSplitCount() {
    build_->highDetailSplitCount = 0;
    build_->loggedMaxLevel = false;
    build_->loggedMaxSplitCount = false;
}

Rect TerrainLayerQuadTreeNode::subNodeRectForNodeRect(const Rect& rect, int index) {
    if (index < 0 || index > 3) return {};
    const double w = rect.size.width / 2, h = rect.size.height / 2;
    return {{rect.origin.x + ((index & 1) ? w : 0), rect.origin.y + ((index & 2) ? h : 0)}, {w, h}};
}

float TerrainLayerQuadTreeNode::cameraDistanceForNodeRect(const Rect& rect, Point camera) {
    const float dx = static_cast<float>(std::fabs(rect.origin.x + rect.size.width / 2 - camera.x));
    const float dy = static_cast<float>(std::fabs(rect.origin.y + rect.size.height / 2 - camera.y));
    return dx + dy;
}

void TerrainLayerQuadTreeNode::split() {
    if (subnodes_) return;
    subnodes_ = std::unique_ptr<TerrainLayerQuadTreeNode[]>(new TerrainLayerQuadTreeNode[4]);
    TerrainLayerQuadTreeNode* sub = subnodes_.get();
    for (int i = 0; i < 4; ++i) {
        sub[i].build_ = build_;
        sub[i].supernode_ = this;
        sub[i].level_ = level_ + 1;
    }
    auto link = [](TerrainLayerQuadTreeNode* a, int side, TerrainLayerQuadTreeNode* b, int opposite) {
        a->neighbors_[side] = b;
        if (b) b->neighbors_[opposite] = a;
    };
    // Siblings.
    link(&sub[0], kPlusX, &sub[1], kMinusX);
    link(&sub[2], kPlusX, &sub[3], kMinusX);
    link(&sub[0], kPlusY, &sub[2], kMinusY);
    link(&sub[1], kPlusY, &sub[3], kMinusY);
    // The subnodes of split same-level neighbours; an unsplit neighbour leaves the link empty.
    if (TerrainLayerQuadTreeNode* q = neighbors_[kMinusY]; q && q->isSplit()) {
        link(&sub[0], kMinusY, q->getSubnode(2), kPlusY);
        link(&sub[1], kMinusY, q->getSubnode(3), kPlusY);
    }
    if (TerrainLayerQuadTreeNode* q = neighbors_[kPlusY]; q && q->isSplit()) {
        link(&sub[2], kPlusY, q->getSubnode(0), kMinusY);
        link(&sub[3], kPlusY, q->getSubnode(1), kMinusY);
    }
    if (TerrainLayerQuadTreeNode* q = neighbors_[kMinusX]; q && q->isSplit()) {
        link(&sub[0], kMinusX, q->getSubnode(1), kPlusX);
        link(&sub[2], kMinusX, q->getSubnode(3), kPlusX);
    }
    if (TerrainLayerQuadTreeNode* q = neighbors_[kPlusX]; q && q->isSplit()) {
        link(&sub[1], kPlusX, q->getSubnode(0), kMinusX);
        link(&sub[3], kPlusX, q->getSubnode(2), kMinusX);
    }
    // Restriction: where the terrain continues but no same-level node exists yet, the coarser
    // neighbour is split, so the new subnodes never border a leaf two levels coarser.
    for (int side : {kPlusY, kMinusY, kMinusX, kPlusX}) {
        if (!neighbors_[side] && supernode_ && supernode_->neighbors_[side])
            supernode_->neighbors_[side]->split();
    }
}

bool TerrainLayerQuadTreeNode::shouldSplit(const uint16_t* samples, Size bitmapSize, const Rect& rect,
                                           int detail, Point camera) {
    if (level_ < kMinimumLevel) return true;
    if (level_ > static_cast<uint32_t>(detail / 8 + 7)) {
        if (!build_->loggedMaxLevel) {
            build_->loggedMaxLevel = true;
            logLine("MAX LEVEL");
        }
        return false;
    }
    const uint64_t budget = static_cast<uint64_t>(750 * std::max(detail, 0) + 1500);
    if (level_ >= kHighDetailLevel && build_->highDetailSplitCount > budget) {
        if (!build_->loggedMaxSplitCount) {
            build_->loggedMaxSplitCount = true;
            logLine("MAX SPLIT COUNT");
        }
        return false;
    }
    const float x = static_cast<float>(rect.origin.x), y = static_cast<float>(rect.origin.y);
    const float w = static_cast<float>(rect.size.width), h = static_cast<float>(rect.size.height);
    const float a = interpolatedValueFromBitmapData(samples, bitmapSize, x, y);
    const float b = interpolatedValueFromBitmapData(samples, bitmapSize, x + w, y);
    const float c = interpolatedValueFromBitmapData(samples, bitmapSize, x, y + h);
    const float e = interpolatedValueFromBitmapData(samples, bitmapSize, x + w, y + h);

    const float distance = cameraDistanceForNodeRect(rect, camera) / kCameraFalloffPixels;
    const float weight = distance > 1.0f ? 1.0f + 5.0f / distance : 6.0f;
    const int count = static_cast<int>(std::ceil((detail * 0.25f + 1.0f) * 2.0f * (w + 2.0f)));
    const float threshold = (100.0f - detail) / 20.0f + 3.0f;

    for (int k = 0; k < count; ++k) {
        const float u = static_cast<float>(build_->nextRandom() % 10000) / 10000.0f;
        const float t = static_cast<float>(build_->nextRandom() % 10000) / 10000.0f;
        const float v = interpolatedValueFromBitmapData(samples, bitmapSize, u * w + x, t * h + y);
        const float flat = a * (1 - u) * (1 - t) + b * u * (1 - t) + c * (1 - u) * t + e * u * t;
        if (std::fabs(v - flat) * weight * 100.0f > threshold) {
            if (level_ >= kHighDetailLevel) ++build_->highDetailSplitCount;
            return true;
        }
    }
    return false;
}

void TerrainLayerQuadTreeNode::splitTraverse(const uint16_t* samples, Size bitmapSize, const Rect& rect,
                                             int detail, Point camera) {
    if (!shouldSplit(samples, bitmapSize, rect, detail, camera)) return;
    split();
    // The nearest subtrees are refined first, so they get the split budget first.
    std::array<std::pair<float, int>, 4> order;
    for (int i = 0; i < 4; ++i)
        order[i] = {cameraDistanceForNodeRect(subNodeRectForNodeRect(rect, i), camera), i};
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& l, const auto& r) { return l.first < r.first; });
    for (const auto& [distance, index] : order) {
        subnodes_[index].splitTraverse(samples, bitmapSize, subNodeRectForNodeRect(rect, index), detail,
                                       camera);
    }
}

uint32_t TerrainLayerQuadTreeNode::addVertex(yafaray::yafrayInterface_t& yi, double x, double y, double z,
                                             Size sceneSize) {
    const int id = yi.addVertex(x, y, z);
    if (id < 0) return kNoVertex;
    const int uv =
        yi.addUV(static_cast<float>(x / sceneSize.width), 1.0f - static_cast<float>(y / sceneSize.height));
    std::vector<int>& uvs = build_->uvOfVertex;
    if (static_cast<size_t>(id) >= uvs.size()) uvs.resize(static_cast<size_t>(id) + 1, -1);
    uvs[static_cast<size_t>(id)] = uv;
    ++build_->verticesAdded;
    return static_cast<uint32_t>(id);
}

int TerrainLayerQuadTreeNode::uvOfVertex(uint32_t vertexID) const {
    const std::vector<int>& uvs = build_->uvOfVertex;
    return vertexID < uvs.size() ? uvs[vertexID] : -1;
}

void TerrainLayerQuadTreeNode::appendVerticesToRenderer(yafaray::yafrayInterface_t& yi,
                                                        const yafaray::material_t* material,
                                                        const uint16_t* samples, Size bitmapSize,
                                                        Size sceneSize, const Rect& rect) {
    // Corners shared with same-level neighbours that have emitted them already.
    auto adopt = [this](int side, int mine, int theirs) {
        const TerrainLayerQuadTreeNode* q = neighbors_[side];
        if (q && vertexIDs_[mine] == kNoVertex && q->vertexIDs_[theirs] != kNoVertex) {
            vertexIDs_[mine] = q->vertexIDs_[theirs];
        }
    };
    adopt(kMinusX, 0, 1);
    adopt(kMinusX, 2, 3);
    adopt(kPlusX, 1, 0);
    adopt(kPlusX, 3, 2);
    adopt(kMinusY, 0, 2);
    adopt(kMinusY, 1, 3);
    adopt(kPlusY, 2, 0);
    adopt(kPlusY, 3, 1);

    for (int corner = 0; corner < 4; ++corner) {
        if (vertexIDs_[corner] != kNoVertex) continue;
        const Point p = cornerOf(rect, corner);
        float v = sampleAtScenePoint(samples, bitmapSize, sceneSize, p.x, p.y);
        if (build_->borderMode == TerrainLayer::kBorderLoweredToZero &&
            (isOuterBorder(kCornerSides[corner][0]) || isOuterBorder(kCornerSides[corner][1]))) {
            v = 0.0f;
        }
        vertexIDs_[corner] = addVertex(yi, p.x, p.y, v * build_->maxTerrainHeight, sceneSize);
    }
    if (!subnodes_) return;
    for (int i = 0; i < 4; ++i) subnodes_[i].vertexIDs_[i] = vertexIDs_[i];
    for (int i = 0; i < 4; ++i) {
        subnodes_[i].appendVerticesToRenderer(yi, material, samples, bitmapSize, sceneSize,
                                              subNodeRectForNodeRect(rect, i));
    }
}

void TerrainLayerQuadTreeNode::appendTrianglesToRenderer(yafaray::yafrayInterface_t& yi,
                                                         const yafaray::material_t* material,
                                                         const uint16_t* samples, Size bitmapSize,
                                                         Size sceneSize, const Rect& rect) {
    if (subnodes_) {
        for (int i = 0; i < 4; ++i) {
            subnodes_[i].appendTrianglesToRenderer(yi, material, samples, bitmapSize, sceneSize,
                                                   subNodeRectForNodeRect(rect, i));
        }
        return;
    }
    const double x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    const float maxHeight = build_->maxTerrainHeight;
    auto sample = [&](double px, double py) {
        return sampleAtScenePoint(samples, bitmapSize, sceneSize, px, py);
    };
    auto triangle = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (yi.addTriangle(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c), uvOfVertex(a),
                           uvOfVertex(b), uvOfVertex(c), material)) {
            ++build_->trianglesAdded;
        }
    };

    // The centre takes the mean of freshly sampled corners, not the border-lowered vertex heights.
    const float mean = (sample(x, y) + sample(x + w, y) + sample(x, y + h) + sample(x + w, y + h)) * 0.25f;
    const uint32_t centre = addVertex(yi, x + w / 2, y + h / 2, mean * maxHeight, sceneSize);
    const uint32_t* v = vertexIDs_.data();

    // One edge of the fan: split neighbours contribute the midpoint of their two subnodes.
    struct Edge {
        int side;
        int from, to;               // corner indices, counter-clockwise seen from above
        int midSubnode, midCorner;  // where a split neighbour keeps the edge's midpoint
    };
    constexpr Edge kEdges[4] = {
        {kMinusY, 0, 1, 2, 3},
        {kPlusY, 3, 2, 0, 1},
        {kMinusX, 2, 0, 1, 3},
        {kPlusX, 1, 3, 0, 2},
    };
    const double o = build_->sizeOverflow;
    const bool extended = build_->borderMode == TerrainLayer::kBorderExtendedEdge;
    auto apronHeight = [&](double px, double py) { return extended ? sample(px, py) * maxHeight : 0.0f; };

    for (const Edge& edge : kEdges) {
        const TerrainLayerQuadTreeNode* q = neighbors_[edge.side];
        if (q && q->isSplit()) {
            const uint32_t mid = q->getSubnode(edge.midSubnode)->vertexIDs_[edge.midCorner];
            triangle(v[edge.from], mid, centre);
            triangle(mid, v[edge.to], centre);
            continue;
        }
        triangle(v[edge.from], v[edge.to], centre);
        if (!isOuterBorder(edge.side)) continue;

        // The apron: two vertices at distance o outward, extended along the edge by o at an end whose
        // other side is on the border too, so the aprons of a corner meet on its diagonal.
        switch (edge.side) {
            case kMinusY: {
                const double ax = isOuterBorder(kMinusX) ? x - o : x,
                             bx = isOuterBorder(kPlusX) ? x + w + o : x + w;
                const uint32_t a = addVertex(yi, ax, y - o, apronHeight(x, y - o), sceneSize);
                const uint32_t b = addVertex(yi, bx, y - o, apronHeight(x + w, y - o), sceneSize);
                triangle(v[0], a, b);
                triangle(v[0], b, v[1]);
                break;
            }
            case kPlusY: {
                const double ax = isOuterBorder(kMinusX) ? x - o : x,
                             bx = isOuterBorder(kPlusX) ? x + w + o : x + w;
                const uint32_t a = addVertex(yi, ax, y + h + o, apronHeight(x, y + h + o), sceneSize);
                const uint32_t b = addVertex(yi, bx, y + h + o, apronHeight(x + w, y + h + o), sceneSize);
                triangle(a, v[2], b);
                triangle(v[2], v[3], b);
                break;
            }
            case kMinusX: {
                const double ay = isOuterBorder(kPlusY) ? y + h + o : y + h,
                             by = isOuterBorder(kMinusY) ? y - o : y;
                const uint32_t a = addVertex(yi, x - o, ay, apronHeight(x - o, y + h), sceneSize);
                const uint32_t b = addVertex(yi, x - o, by, apronHeight(x - o, y), sceneSize);
                triangle(a, b, v[2]);
                triangle(b, v[0], v[2]);
                break;
            }
            case kPlusX: {
                const double ay = isOuterBorder(kMinusY) ? y - o : y,
                             by = isOuterBorder(kPlusY) ? y + h + o : y + h;
                const uint32_t a = addVertex(yi, x + w + o, ay, apronHeight(x + w + o, y), sceneSize);
                const uint32_t b = addVertex(yi, x + w + o, by, apronHeight(x + w + o, y + h), sceneSize);
                triangle(a, b, v[3]);
                triangle(a, v[3], v[1]);
                break;
            }
        }
    }
}

size_t TerrainLayerQuadTreeNode::leafCount() const {
    if (!subnodes_) return 1;
    size_t count = 0;
    for (int i = 0; i < 4; ++i) count += subnodes_[i].leafCount();
    return count;
}

uint32_t TerrainLayerQuadTreeNode::maximumLeafLevel() const {
    if (!subnodes_) return level_;
    uint32_t deepest = 0;
    for (int i = 0; i < 4; ++i) deepest = std::max(deepest, subnodes_[i].maximumLeafLevel());
    return deepest;
}

}  // namespace korvane
