#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Geometry.h"

namespace yafaray {
class material_t;
class yafrayInterface_t;
}  // namespace yafaray

namespace korvane {

class TerrainLayer;

// The state one terrain build shares among all nodes of its tree: the split budget and its log
// flags, the build's own random sequence and what the emission passes read of the terrain layer.
// Kept per build, so a preview and a full render building at the same time do not disturb each
// other's budget.
struct TerrainQuadTreeBuild {
    uint64_t highDetailSplitCount = 0;  // splits granted at level 9 or deeper
    bool loggedMaxLevel = false;
    bool loggedMaxSplitCount = false;
    uint64_t randomState = 0;
    int32_t borderMode = 0;
    float maxTerrainHeight = 4.0f;
    float sizeOverflow = 200.0f;
    uint32_t verticesAdded = 0;
    uint32_t trianglesAdded = 0;
    std::vector<int> uvOfVertex;  // UV index of every vertex of the mesh, by vertex ID

    // A uniformly distributed non-negative integer of the build's sequence.
    uint32_t nextRandom();
};

// One node of the terrain's restricted quad tree. A tree lives only while a terrain layer appends
// itself to a renderer: it is refined where the heightmap departs from a flat patch and near the
// camera, then emitted as one crack-free triangle mesh (vertex pass, then triangle pass).
//
// Index conventions ("x" grows with the bitmap column, "y" with the row): subnodes and corners use
// bit 0 = x half, bit 1 = y half (0 at (x, y), 1 at (x + w, y), 2 at (x, y + h), 3 at (x + w, y + h));
// neighbours are 0 = −x, 1 = +x, 2 = +y, 3 = −y.
class TerrainLayerQuadTreeNode {
public:
    static constexpr uint32_t kNoVertex = 0xFFFFFFFFu;
    enum Side { kMinusX = 0, kPlusX = 1, kPlusY = 2, kMinusY = 3 };

    // The root of a new build over the layer's terrain: level 0, no neighbours, no vertices. Reads
    // the border mode and the scene's maximum height and overflow once; seeds the build's random
    // sequence from the process-wide one. The layer must outlive the tree.
    explicit TerrainLayerQuadTreeNode(const TerrainLayer& terrainLayer);
    ~TerrainLayerQuadTreeNode();
    TerrainLayerQuadTreeNode(const TerrainLayerQuadTreeNode&) = delete;
    TerrainLayerQuadTreeNode& operator=(const TerrainLayerQuadTreeNode&) = delete;

    // Creates the four subnodes, links them to same-level neighbours and splits coarser neighbours
    // where needed so that no leaf borders a leaf more than one level coarser. Nothing if split.
    void split();
    bool isSplit() const { return subnodes_ != nullptr; }
    TerrainLayerQuadTreeNode* getSubnode(int index) const;
    // 0, 1 or 2 when `node` is that subnode, otherwise 3.
    int getSubnodePosition(const TerrainLayerQuadTreeNode* node) const;
    TerrainLayerQuadTreeNode* getNeighbor(int side) const;
    void setNeighbor(TerrainLayerQuadTreeNode* node, int side);
    uint32_t level() const { return level_; }
    void setLevel(uint32_t level) { level_ = level; }
    TerrainLayerQuadTreeNode* supernode() const { return supernode_; }
    void setSupernode(TerrainLayerQuadTreeNode* node) { supernode_ = node; }
    uint32_t vertexIDAtEdge(int corner) const;
    void setVertexID(uint32_t vertexID, int corner);
    // True when the side lies on the terrain's outer edge: no neighbour there, nor for the parent.
    bool isOuterBorder(int side) const;

    // Zeroes the build's split counter and both log flags.
    void resetDetailSplitCount();
    // The build shared by this node's tree.
    const TerrainQuadTreeBuild& build() const { return *build_; }
    TerrainQuadTreeBuild& build() { return *build_; }

    // The rectangle of subnode `index` (0..3); the zero rectangle for any other index.
    static Rect subNodeRectForNodeRect(const Rect& rect, int index);
    // Manhattan distance from the rectangle's centre to the camera, each term in single precision.
    static float cameraDistanceForNodeRect(const Rect& rect, Point cameraOnBitmap);

    // The split rule for this node over the pixel rectangle `rect` at detail 0..100; may log
    // "MAX LEVEL" or "MAX SPLIT COUNT" once per build. `samples` is the Gray16 heightmap.
    bool shouldSplit(const uint16_t* samples, Size bitmapSize, const Rect& rect, int detail,
                     Point cameraOnBitmap);
    // Refines the tree from this node down, nearest subnodes first.
    void splitTraverse(const uint16_t* samples, Size bitmapSize, const Rect& rect, int detail,
                       Point cameraOnBitmap);

    // The emission passes over the scene rectangle `rect` (scene units) into the open mesh.
    // Vertex pass: every node corner once, shared with same-level neighbours and subnodes.
    void appendVerticesToRenderer(yafaray::yafrayInterface_t& yi, const yafaray::material_t* material,
                                  const uint16_t* samples, Size bitmapSize, Size sceneSize, const Rect& rect);
    // Triangle pass: a fan per leaf around a new centre vertex, picking up the midpoints of split
    // neighbours, and aprons along the outer border.
    void appendTrianglesToRenderer(yafaray::yafrayInterface_t& yi, const yafaray::material_t* material,
                                   const uint16_t* samples, Size bitmapSize, Size sceneSize,
                                   const Rect& rect);

    // Counts of the tree, for tests and benchmarks.
    size_t leafCount() const;
    uint32_t maximumLeafLevel() const;

private:
    TerrainLayerQuadTreeNode() = default;
    uint32_t addVertex(yafaray::yafrayInterface_t& yi, double x, double y, double z, Size sceneSize);
    int uvOfVertex(uint32_t vertexID) const;

    std::unique_ptr<TerrainQuadTreeBuild> ownedBuild_;  // the root's
    TerrainQuadTreeBuild* build_ = nullptr;
    TerrainLayerQuadTreeNode* supernode_ = nullptr;
    std::unique_ptr<TerrainLayerQuadTreeNode[]> subnodes_;
    std::array<TerrainLayerQuadTreeNode*, 4> neighbors_{};
    uint32_t level_ = 0;
    std::array<uint32_t, 4> vertexIDs_{kNoVertex, kNoVertex, kNoVertex, kNoVertex};
};

}  // namespace korvane
