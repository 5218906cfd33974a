#include "raytracer/core/Scene.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "raytracer/core/Log.h"
#include "raytracer/core/SurfaceDifferentials.h"

namespace yafaray {
namespace {

// Smooth normals closer than this (cosine) are stored once.
constexpr float kSharedNormalCos = 0.999f;
// Below this angle (degrees) smoothing leaves the mesh flat.
constexpr float kMinSmoothAngle = 0.1f;
// Up to this many faces around a vertex, every face is compared with every other. Around busier
// vertices (fans, hostile meshes) faces are first grouped by the direction of their normal, and
// groups are compared instead, so the cost per vertex stays proportional to its faces.
constexpr uint32_t kExactValence = 64;
// Direction groups: a cube map of this many cells across each face.
constexpr int kDirectionCells = 8;
constexpr int kDirectionGroups = 6 * kDirectionCells * kDirectionCells;

// The cube-map cell a unit normal points into.
int directionCell(const vector3d_t& n) {
    const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    int face;
    float u, v, major;
    if (ax >= ay && ax >= az) {
        face = n.x >= 0.f ? 0 : 1, major = ax, u = n.y, v = n.z;
    } else if (ay >= az) {
        face = n.y >= 0.f ? 2 : 3, major = ay, u = n.x, v = n.z;
    } else {
        face = n.z >= 0.f ? 4 : 5, major = az, u = n.x, v = n.y;
    }
    auto cell = [major](float c) {
        const int i = static_cast<int>((c / major + 1.f) * 0.5f * kDirectionCells);
        return std::clamp(i, 0, kDirectionCells - 1);
    };
    return (face * kDirectionCells + cell(u)) * kDirectionCells + cell(v);
}

}  // namespace

scene_t::scene_t() = default;
scene_t::~scene_t() = default;

bool scene_t::startGeometry() {
    if (inGeometry_) return false;
    inGeometry_ = true;
    return true;
}

bool scene_t::endGeometry() {
    if (!inGeometry_ || meshOpen_) {
        logMessage(logLevel_t::error, "endGeometry outside geometry or with a mesh still open");
        if (meshOpen_) endTriMesh();
        if (!inGeometry_) return false;
    }
    inGeometry_ = false;
    accel_ = std::make_unique<EmbreeScene>();
    geometryBase_.clear();
    if (!accel_->valid()) return false;
    const size_t vertexCount = vertices_.size();
    vertices_.push_back(point3d_t());  // Embree reads 16 bytes for the last float3
    const float* vdata = &vertices_.front().x;

    // Contiguous runs of visible meshes share one Embree geometry.
    auto flushRun = [&](uint32_t begin, uint32_t end) {
        if (end <= begin) return true;
        const int id =
            accel_->addTriangles(vdata, vertexCount, indices_.data() + 3 * size_t(begin), end - begin);
        if (id < 0) return false;
        if (geometryBase_.size() <= size_t(id)) geometryBase_.resize(id + 1, 0);
        geometryBase_[id] = begin;
        return true;
    };
    bool ok = true;
    uint32_t runBegin = 0, runEnd = 0;
    for (const mesh_t& m : meshes_) {
        const bool visible = (m.type & (kMeshInvisible | kMeshBase)) == 0 && (m.type & kMeshTypeMask) <= 1;
        if (visible && m.triBegin == runEnd) {
            runEnd = m.triEnd;
            continue;
        }
        ok = flushRun(runBegin, runEnd) && ok;
        runBegin = visible ? m.triBegin : m.triEnd;
        runEnd = visible ? m.triEnd : m.triEnd;
    }
    ok = flushRun(runBegin, runEnd) && ok;
    return accel_->commit() && ok;
}

bool scene_t::startTriMesh(unsigned int id, bool hasOrco, bool hasUV, int type) {
    if (!inGeometry_ || meshOpen_) {
        logMessage(logLevel_t::error, "startTriMesh outside geometry or with a mesh still open");
        return false;
    }
    degenerateInMesh_ = 0;
    mesh_t m;
    m.id = id;
    m.type = type;
    m.hasOrco = hasOrco;
    m.hasUV = hasUV;
    m.vertexBase = m.vertexEnd = static_cast<uint32_t>(vertices_.size());
    m.uvBase = static_cast<uint32_t>(uvs_.size());
    m.triBegin = m.triEnd = static_cast<uint32_t>(info_.size());
    meshes_.push_back(m);
    meshOpen_ = true;
    return true;
}

int scene_t::addVertex(const point3d_t& p) {
    if (!meshOpen_) return -1;
    mesh_t& m = meshes_.back();
    vertices_.push_back(p);
    return static_cast<int>(m.vertexEnd++ - m.vertexBase);
}

int scene_t::addUV(float u, float v) {
    if (!meshOpen_) return -1;
    uvs_.push_back({u, v});
    return static_cast<int>(uvs_.size() - 1 - meshes_.back().uvBase);
}

bool scene_t::addTriangle(int a, int b, int c, int ua, int ub, int uc, const material_t* mat) {
    if (!meshOpen_) return false;
    mesh_t& m = meshes_.back();
    const int count = static_cast<int>(m.vertexEnd - m.vertexBase);
    if (a < 0 || b < 0 || c < 0 || a >= count || b >= count || c >= count) {
        logMessage(logLevel_t::warning, "addTriangle: vertex index out of range, triangle skipped");
        return false;
    }
    const point3d_t& pa = vertices_[m.vertexBase + a];
    const point3d_t& pb = vertices_[m.vertexBase + b];
    const point3d_t& pc = vertices_[m.vertexBase + c];
    const float area2 = cross(pb - pa, pc - pa).lengthSqr();
    if (a == b || b == c || a == c || !(area2 > 0.f) || !std::isfinite(area2)) {
        ++degenerateInMesh_;
        return false;
    }
    triInfo_t info;
    info.material = mat;
    const int uvCount = static_cast<int>(uvs_.size() - m.uvBase);
    if (ua >= 0 && ub >= 0 && uc >= 0) {
        if (ua >= uvCount || ub >= uvCount || uc >= uvCount) {
            logMessage(logLevel_t::warning, "addTriangle: UV index out of range, triangle skipped");
            return false;
        }
        info.uv = {int32_t(m.uvBase + ua), int32_t(m.uvBase + ub), int32_t(m.uvBase + uc)};
    }
    indices_.push_back(m.vertexBase + a);
    indices_.push_back(m.vertexBase + b);
    indices_.push_back(m.vertexBase + c);
    info_.push_back(info);
    ++m.triEnd;
    return true;
}

bool scene_t::endTriMesh() {
    if (!meshOpen_) return false;
    meshOpen_ = false;
    if (degenerateInMesh_ > 0) {
        logMessage(logLevel_t::info, "mesh " + std::to_string(meshes_.back().id) + ": " +
                                         std::to_string(degenerateInMesh_) + " degenerate triangles dropped");
        degenerateInMesh_ = 0;
    }
    return true;
}

scene_t::mesh_t* scene_t::findMesh(unsigned int id) {
    if (meshes_.empty()) return nullptr;
    if (id == 0) return &meshes_.back();
    for (auto it = meshes_.rbegin(); it != meshes_.rend(); ++it) {
        if (it->id == id) return &*it;
    }
    return nullptr;
}

vector3d_t scene_t::faceNormal(size_t tri) const {
    const point3d_t& a = vertices_[indices_[3 * tri]];
    const point3d_t& b = vertices_[indices_[3 * tri + 1]];
    const point3d_t& c = vertices_[indices_[3 * tri + 2]];
    return cross(b - a, c - a).normalized();
}

bool scene_t::smoothMesh(unsigned int id, float angleDeg) {
    smoothingComparisons_ = 0;
    if (!inGeometry_ || meshOpen_) return false;
    mesh_t* m = findMesh(id);
    if (!m || (m->type & kMeshTypeMask) != 0) return false;
    if (angleDeg <= kMinSmoothAngle) return true;

    const uint32_t nv = m->vertexEnd - m->vertexBase;
    const uint32_t nt = m->triEnd - m->triBegin;
    std::vector<vector3d_t> faceN(nt);
    // Corner weight: the corner angle folded into [0, π/2], so long thin faces count less.
    std::vector<std::array<float, 3>> weight(nt);
    std::vector<uint32_t> start(nv + 1, 0);
    for (uint32_t f = 0; f < nt; ++f) {
        const size_t tri = m->triBegin + f;
        faceN[f] = faceNormal(tri);
        for (int k = 0; k < 3; ++k) {
            const point3d_t& p = vertices_[indices_[3 * tri + k]];
            const vector3d_t e1 = vertices_[indices_[3 * tri + (k + 1) % 3]] - p;
            const vector3d_t e2 = vertices_[indices_[3 * tri + (k + 2) % 3]] - p;
            const float denom = e1.length() * e2.length();
            const float s = denom > 0.f ? std::min(1.f, cross(e1, e2).length() / denom) : 0.f;
            weight[f][k] = std::asin(s);
            ++start[indices_[3 * tri + k] - m->vertexBase + 1];
        }
    }
    // Faces around each vertex, as (face, corner) pairs in compressed rows.
    for (uint32_t v = 0; v < nv; ++v) start[v + 1] += start[v];
    std::vector<std::pair<uint32_t, uint8_t>> corners(start[nv]);
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (uint32_t f = 0; f < nt; ++f) {
        for (uint8_t k = 0; k < 3; ++k) {
            corners[fill[indices_[3 * (m->triBegin + f) + k] - m->vertexBase]++] = {f, k};
        }
    }

    const bool full = angleDeg >= 180.f;
    const float cosLimit = std::cos(angleDeg * kPi / 180.f);

    // A smoothed normal from the sum of the faces it takes in, stored once per vertex for nearly
    // equal normals; -1 (the corner keeps the flat face normal) when only its own face counted.
    std::vector<int32_t> vertexNormals;
    auto storeNormal = [&](const vector3d_t& sum, int used) -> int32_t {
        if (used <= 1 || sum.lengthSqr() <= 0.f) return -1;
        const vector3d_t n = sum.normalized();
        for (int32_t candidate : vertexNormals) {
            ++smoothingComparisons_;
            if (dot(normals_[candidate], n) > kSharedNormalCos) return candidate;
        }
        const int32_t index = static_cast<int32_t>(normals_.size());
        normals_.push_back(n);
        vertexNormals.push_back(index);
        return index;
    };

    // Direction groups of a busy vertex: weighted normal sum, unweighted direction, face count.
    struct group_t {
        vector3d_t weighted, direction;
        int faces = 0;
        vector3d_t smoothed;
        int used = 0;
        int32_t normal = -1;
    };
    std::vector<int> groupOfCell(kDirectionGroups, -1);
    std::vector<group_t> groups;
    std::vector<int> cornerGroup;

    for (uint32_t v = 0; v < nv; ++v) {
        vertexNormals.clear();
        const uint32_t begin = start[v], end = start[v + 1];
        if (end - begin <= kExactValence) {
            for (uint32_t i = begin; i < end; ++i) {
                const auto [f, k] = corners[i];
                vector3d_t sum;
                int used = 0;
                for (uint32_t j = begin; j < end; ++j) {
                    const auto [g, kg] = corners[j];
                    ++smoothingComparisons_;
                    if (full || dot(faceN[g], faceN[f]) > cosLimit) {
                        sum += faceN[g] * weight[g][kg];
                        ++used;
                    }
                }
                info_[m->triBegin + f].normal[k] = storeNormal(sum, used);
            }
            continue;
        }
        // Faces whose normals point into the same cube-map cell are smoothed as one group: the
        // angle test compares group directions, at most kDirectionGroups of them.
        groups.clear();
        cornerGroup.assign(end - begin, -1);
        for (uint32_t i = begin; i < end; ++i) {
            const auto [f, k] = corners[i];
            const int cell = directionCell(faceN[f]);
            if (groupOfCell[cell] < 0) {
                groupOfCell[cell] = static_cast<int>(groups.size());
                groups.emplace_back();
            }
            group_t& g = groups[groupOfCell[cell]];
            g.weighted += faceN[f] * weight[f][k];
            g.direction += faceN[f];
            ++g.faces;
            cornerGroup[i - begin] = groupOfCell[cell];
        }
        for (group_t& g : groups) g.direction = g.direction.normalized();
        for (group_t& g : groups) {
            for (const group_t& h : groups) {
                ++smoothingComparisons_;
                if (full || dot(h.direction, g.direction) > cosLimit) {
                    g.smoothed += h.weighted;
                    g.used += h.faces;
                }
            }
        }
        for (group_t& g : groups) g.normal = storeNormal(g.smoothed, g.used);
        for (uint32_t i = begin; i < end; ++i) {
            const auto [f, k] = corners[i];
            info_[m->triBegin + f].normal[k] = groups[cornerGroup[i - begin]].normal;
        }
        for (uint32_t i = begin; i < end; ++i) groupOfCell[directionCell(faceN[corners[i].first])] = -1;
    }
    return true;
}

void scene_t::fillSurfacePoint(const ray_t& ray, const embreeHit_t& hit, surfacePoint_t& sp) const {
    const size_t tri = geometryBase_[hit.geomID] + hit.primID;
    const triInfo_t& info = info_[tri];
    const float b1 = hit.u, b2 = hit.v, b0 = 1.f - hit.u - hit.v;
    sp.P = ray.from + ray.dir * hit.t;
    vector3d_t ng = hit.Ng.normalized();
    vector3d_t n = ng;
    if (info.normal[0] >= 0 || info.normal[1] >= 0 || info.normal[2] >= 0) {
        auto corner = [&](int k) { return info.normal[k] >= 0 ? normals_[info.normal[k]] : ng; };
        n = (corner(0) * b0 + corner(1) * b1 + corner(2) * b2).normalized();
    }
    // Surfaces are two-sided: both normals face the incoming ray.
    if (dot(ng, ray.dir) > 0.f) {
        ng = -ng;
        n = -n;
    }
    if (dot(n, ng) < 0.f) n = ng;
    sp.Ng = ng;
    sp.N = n;
    sp.material = info.material;
    sp.hasUV = info.uv[0] >= 0;
    if (sp.hasUV) {
        const auto& t0 = uvs_[info.uv[0]];
        const auto& t1 = uvs_[info.uv[1]];
        const auto& t2 = uvs_[info.uv[2]];
        sp.u = b0 * t0[0] + b1 * t1[0] + b2 * t2[0];
        sp.v = b0 * t0[1] + b1 * t1[1] + b2 * t2[1];
    } else {
        sp.u = b1;
        sp.v = b2;
    }
    float cornerUV[3][2] = {};
    for (int k = 0; sp.hasUV && k < 3; ++k) {
        cornerUV[k][0] = uvs_[info.uv[k]][0];
        cornerUV[k][1] = uvs_[info.uv[k]][1];
    }
    setSurfaceDifferentials(sp, vertices_[indices_[3 * tri]], vertices_[indices_[3 * tri + 1]],
                            vertices_[indices_[3 * tri + 2]], sp.hasUV ? cornerUV : nullptr);
}

bool scene_t::intersect(const ray_t& ray, surfacePoint_t& sp, float& t) const {
    if (!accel_) return false;
    embreeHit_t hit;
    if (!accel_->intersect(ray, hit)) return false;
    t = hit.t;
    fillSurfacePoint(ray, hit, sp);
    return true;
}

bool scene_t::isShadowed(const ray_t& ray) const {
    return accel_ && accel_->occluded(ray);
}

bool scene_t::isShadowed(const ray_t& ray, int maxTransparent, color_t& filter) const {
    filter = color_t(1.f);
    if (!accel_) return false;
    ray_t r = ray;
    for (int passed = 0;; ++passed) {
        embreeHit_t hit;
        if (!accel_->intersect(r, hit)) return false;
        const triInfo_t& info = info_[geometryBase_[hit.geomID] + hit.primID];
        if (!info.material || !info.material->isTransparent() || passed >= maxTransparent) return true;
        surfacePoint_t sp;
        fillSurfacePoint(r, hit, sp);
        filter *= info.material->shadowFilter(sp, r.dir);
        if (filter.isBlack()) return true;
        // Continue just past the surface; the remaining length shrinks accordingly.
        const float step = hit.t + 0.0005f * std::max(1.f, sp.P.length()) * 0.1f;
        r.from = r.from + r.dir * step;
        r.tmin = 0.f;
        if (r.tmax >= 0.f) {
            r.tmax -= step;
            if (r.tmax <= 0.f) return false;
        }
    }
}

void scene_t::clear() {
    inGeometry_ = meshOpen_ = false;
    meshes_.clear();
    vertices_.clear();
    uvs_.clear();
    indices_.clear();
    info_.clear();
    normals_.clear();
    geometryBase_.clear();
    accel_.reset();
}

}  // namespace yafaray
