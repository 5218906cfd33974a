#include <algorithm>
#include <cstddef>
#include <cstring>

#include "raytracer/core/MeshShape.h"

namespace yafaray {
namespace {

// Embree reads a run's first twelve bytes as its RTCGrid.
static_assert(offsetof(gridRun_t, stride) == 4 && offsetof(gridRun_t, width) == 8 &&
              offsetof(gridRun_t, height) == 10 && sizeof(gridRun_t) == 24);

// A run needs this many cells to be worth a grid of its own rather than listed quads.
constexpr size_t kMinGridCells = 4;
// How many listed quads may stand between two rows of a run (a ring's closing quad).
constexpr size_t kMaxRowGap = 4;
constexpr size_t kMaxGridSide = 32767;  // Embree's limit, in vertices

bool samePosition(const point3d_t& a, const point3d_t& b) {
    return std::memcmp(&a, &b, sizeof(point3d_t)) == 0;
}

// The grid run found at a quad, while seal() walks the quads.
struct runFinder_t {
    const meshShape_t& shape;
    size_t vertexCount;

    // Whether quad q is the cell of a grid at vertex a with the given stride: (a, a + 1, a + 1 +
    // stride, a + stride), or, where its second triangle is a hole, (a, a + 1, a + stride,
    // a + stride) with vertex a + 1 + stride at the very place of a + stride, so that the grid's
    // second triangle there has no area and the first is the quad's one triangle.
    bool isCell(size_t q, uint32_t a, uint32_t stride) const {
        const uint32_t* v = &shape.quads[4 * q];
        if (v[0] != a || v[1] != a + 1 || v[3] != a + stride) return false;
        if (size_t(a) + 1 + stride >= vertexCount) return false;
        if (shape.hasTriangle(2 * q + 1)) return v[2] == a + 1 + stride;
        return v[2] == v[3] && samePosition(shape.vertices[a + 1 + stride], shape.vertices[a + stride]);
    }
    // The stride of the cell at quad q, or 0 where it cannot start a grid.
    uint32_t strideAt(size_t q) const {
        const uint32_t* v = &shape.quads[4 * q];
        if (v[3] <= v[0] + 1 || v[0] == UINT32_MAX) return 0;
        const uint32_t stride = v[3] - v[0];
        return isCell(q, v[0], stride) ? stride : 0;
    }
    // The longest run starting at quad q, within quads [q, end); its cell count (0: none).
    gridRun_t find(size_t q, size_t end) const {
        gridRun_t run{};
        const uint32_t stride = strideAt(q);
        if (stride == 0) return run;
        const uint32_t a = shape.quads[4 * q];
        size_t width = 1;  // cells in the first row
        while (q + width < end && width + 1 < kMaxGridSide && width + 1 <= stride &&
               isCell(q + width, a + uint32_t(width), stride))
            ++width;
        // The next row: the first quad within the gap that continues the first one.
        size_t pitch = 0;
        for (size_t gap = 0; gap <= kMaxRowGap && pitch == 0; ++gap) {
            const size_t next = q + width + gap;
            if (next + width <= end && isCell(next, a + stride, stride)) pitch = width + gap;
        }
        size_t rows = 1;
        if (pitch != 0) {
            auto rowFits = [&](size_t row) {
                const size_t first = q + row * pitch;
                if (first + width > end || size_t(a) + (row + 1) * stride + width >= vertexCount)
                    return false;
                for (size_t x = 0; x < width; ++x) {
                    if (!isCell(first + x, a + uint32_t(row * stride + x), stride)) return false;
                }
                return true;
            };
            while (rows + 1 < kMaxGridSide && rowFits(rows)) ++rows;
        }
        if (rows == 1) pitch = width;
        if (width * rows < kMinGridCells) return run;
        run.firstVertex = a;
        run.stride = stride;
        run.width = uint16_t(width + 1);
        run.height = uint16_t(rows + 1);
        run.firstQuad = uint32_t(q);
        run.quadPitch = uint32_t(pitch);
        return run;
    }
};

}  // namespace

void meshShape_t::findGrids() {
    grids.clear();
    gridCells = 0;
    const size_t quadsHeld = quads.size() / 4;
    // Grid cells and quad numbers both need 32 bits.
    if (quadsHeld == 0 || quadsHeld >= UINT32_MAX / 2 || vertices.size() >= UINT32_MAX / 2) return;
    const runFinder_t finder{*this, vertices.size()};
    size_t listed = 0;  // quads kept so far, compacted in place
    for (size_t q = 0; q < quadsHeld;) {
        // Runs stay within one Embree part.
        const size_t partEnd = std::min(quadsHeld, (q / kPartQuads + 1) * kPartQuads);
        gridRun_t run = finder.find(q, partEnd);
        if (run.width == 0) {
            std::memmove(&quads[4 * listed], &quads[4 * q], 4 * sizeof(uint32_t));
            ++listed, ++q;
            continue;
        }
        run.listedBefore = uint32_t(listed);
        // The quads between the rows stay listed.
        for (uint32_t row = 0; row + 1 < run.rows(); ++row) {
            for (uint32_t x = run.cellsPerRow(); x < run.quadPitch; ++x) {
                std::memmove(&quads[4 * listed], &quads[4 * (q + size_t(row) * run.quadPitch + x)],
                             4 * sizeof(uint32_t));
                ++listed;
            }
        }
        grids.push_back(run);
        gridCells += run.cellsPerRow() * run.rows();
        q = run.spanEnd();
    }
    quads.resize(4 * listed);
}

size_t meshShape_t::listedIndex(size_t q) const {
    const auto after = std::upper_bound(grids.begin(), grids.end(), q,
                                        [](size_t quad, const gridRun_t& g) { return quad < g.firstQuad; });
    if (after == grids.begin()) return q;
    const gridRun_t& g = *(after - 1);
    const size_t rel = q - g.firstQuad, n = g.cellsPerRow();
    const size_t cellsBefore =
        q >= g.spanEnd() ? n * g.rows() : rel / g.quadPitch * n + std::min(rel % g.quadPitch, n);
    return g.listedBefore + rel - cellsBefore;
}

size_t meshShape_t::quadOfListed(size_t listed) const {
    // The last run with no more listed quads before it than `listed`: where several have as many,
    // nothing lies between them, so the listed quad follows the last.
    const auto after = std::upper_bound(grids.begin(), grids.end(), listed,
                                        [](size_t l, const gridRun_t& g) { return l < g.listedBefore; });
    if (after == grids.begin()) return listed;
    const gridRun_t& g = *(after - 1);
    const size_t off = listed - g.listedBefore, n = g.cellsPerRow();
    const size_t perRow = g.quadPitch - n, inSpan = size_t(g.rows() - 1) * perRow;
    if (off < inSpan) return g.firstQuad + off / perRow * g.quadPitch + n + off % perRow;
    return g.spanEnd() + (off - inSpan);
}

void meshShape_t::quadVertices(size_t q, uint32_t v[4]) const {
    const auto after = std::upper_bound(grids.begin(), grids.end(), q,
                                        [](size_t quad, const gridRun_t& g) { return quad < g.firstQuad; });
    if (after != grids.begin()) {
        const gridRun_t& g = *(after - 1);
        const size_t rel = q - g.firstQuad;
        if (q < g.spanEnd() && rel % g.quadPitch < g.cellsPerRow()) {
            const uint32_t a =
                g.firstVertex + uint32_t(rel / g.quadPitch) * g.stride + uint32_t(rel % g.quadPitch);
            v[0] = a, v[1] = a + 1, v[3] = a + g.stride;
            v[2] = hasTriangle(2 * q + 1) ? a + 1 + g.stride : v[3];
            return;
        }
    }
    std::memcpy(v, &quads[4 * listedIndex(q)], 4 * sizeof(uint32_t));
}

meshShape_t::quadHit_t meshShape_t::resolveHit(size_t part, uint32_t geomID, uint32_t primID, float u,
                                               float v) const {
    quadHit_t hit;
    if (geomID == EmbreeShape::kGridGeometry) {
        const gridRun_t& g = grids[partBases[part][0] + primID];
        // Embree reports (u, v) over the whole grid; the cell and the parameters within it.
        const uint32_t n = g.cellsPerRow(), rows = g.rows();
        const float gu = u * float(n), gv = v * float(rows);
        const uint32_t x = std::min(uint32_t(std::max(gu, 0.f)), n - 1);
        const uint32_t y = std::min(uint32_t(std::max(gv, 0.f)), rows - 1);
        hit.quad = size_t(g.firstQuad) + size_t(y) * g.quadPitch + x;
        hit.u = gu - float(x);
        hit.v = gv - float(y);
        const uint32_t a = g.firstVertex + y * g.stride + x;
        hit.vertex[0] = a, hit.vertex[1] = a + 1, hit.vertex[3] = a + g.stride;
        hit.vertex[2] = hasTriangle(2 * hit.quad + 1) ? a + 1 + g.stride : hit.vertex[3];
        return hit;
    }
    const size_t listed = partBases[part][1] + primID;
    hit.quad = grids.empty() ? listed : quadOfListed(listed);
    hit.u = u;
    hit.v = v;
    std::memcpy(hit.vertex, &quads[4 * listed], 4 * sizeof(uint32_t));
    return hit;
}

}  // namespace yafaray
