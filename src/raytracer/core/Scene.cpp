#include "raytracer/core/Scene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "raytracer/core/GeometryCache.h"
#include "raytracer/core/Log.h"
#include "raytracer/core/ShapeMatch.h"
#include "raytracer/core/SurfaceDifferentials.h"

namespace yafaray {
namespace {

// A mesh of at least this many triangles ends the shape it is appended to, so that large meshes
// (a terrain, a layer of rocks) are built and reused on their own.
constexpr uint32_t kOwnShapeTriangles = 4096;
// Meshes of fewer triangles are not looked at for repeats: placing them costs more than they hold.
constexpr uint32_t kMinRepeatTriangles = 32;
// A mesh's repeat key is taken from at most this many of its first triangles (and UVs).
constexpr uint32_t kSignatureTriangles = 4096;
// A shape's palette is closed to new meshes beyond this many materials (slots are 16-bit).
constexpr size_t kMaxPaletteSlots = 60000;

bool isTraced(int type) {
    return (type & (kMeshInvisible | kMeshBase)) == 0 && (type & kMeshTypeMask) <= 1;
}

uint64_t mixHash(uint64_t h, uint64_t word) {
    h ^= word + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

uint64_t floatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

point3d_t transformPoint(const float* m, const point3d_t& p) {
    return {m[0] * p.x + m[1] * p.y + m[2] * p.z + m[3], m[4] * p.x + m[5] * p.y + m[6] * p.z + m[7],
            m[8] * p.x + m[9] * p.y + m[10] * p.z + m[11]};
}

vector3d_t transformNormal(const float* n, const vector3d_t& v) {
    return {n[0] * v.x + n[1] * v.y + n[2] * v.z, n[3] * v.x + n[4] * v.y + n[5] * v.z,
            n[6] * v.x + n[7] * v.y + n[8] * v.z};
}

// The inverse transpose of the linear part of a 3 × 4 map (normals transform by it).
void normalMatrix(const float* m, float* n) {
    const double a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    const double inv = det != 0 ? 1.0 / det : 0.0;
    // Cofactors: (M⁻¹)ᵀ = cof(M) / det.
    n[0] = float((e * i - f * h) * inv), n[1] = float(-(d * i - f * g) * inv), n[2] = float((d * h - e * g) * inv);
    n[3] = float(-(b * i - c * h) * inv), n[4] = float((a * i - c * g) * inv), n[5] = float(-(a * h - b * g) * inv);
    n[6] = float((b * f - c * e) * inv), n[7] = float(-(a * f - c * d) * inv), n[8] = float((a * e - b * d) * inv);
}

}  // namespace

scene_t::scene_t() = default;
scene_t::~scene_t() = default;

bool scene_t::startGeometry() {
    if (inGeometry_) return false;
    inGeometry_ = true;
    return true;
}

std::shared_ptr<const meshShape_t> scene_t::finish(std::shared_ptr<meshShape_t> shape) {
    shape->seal();
    if (std::shared_ptr<const meshShape_t> held = GeometryCache::shared().find(*shape)) {
        ++reusedShapes_;
        return held;
    }
    if (!shape->build()) return nullptr;
    return shape;
}

namespace {

// Whether any triangle of [first, end) may let light through: such instances are walked by
// transparent shadow rays, the others only need a yes/no occlusion test.
bool mayTransmit(const meshShape_t& shape, const std::vector<const material_t*>& palette, size_t first, size_t end) {
    auto transmits = [&](size_t slot) { return slot < palette.size() && palette[slot] && palette[slot]->isTransparent(); };
    if (shape.materialSlot.empty()) return transmits(0);
    bool any = false;
    for (size_t slot = 0; slot < palette.size(); ++slot) any = any || transmits(slot);
    if (!any) return false;
    for (size_t tri = first; tri < end; ++tri) {
        if (transmits(shape.materialSlot[tri])) return true;
    }
    return false;
}

}  // namespace

bool scene_t::place(const meshShape_t& shape, const std::vector<const material_t*>& palette, const float* xfm) {
    bool ok = true;
    for (size_t part = 0; part < shape.parts.size(); ++part) {
        const size_t first = part * meshShape_t::kPartQuads;
        const size_t end = std::min(shape.quadCount(), first + meshShape_t::kPartQuads);
        const bool transmits = mayTransmit(shape, palette, first, end);
        if (transmits && !hasTransparent_) transparentBounds_ = bound_t({1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f});
        if (transmits) addTransparentBounds(shape, xfm);
        hasTransparent_ = hasTransparent_ || transmits;
        const int id = accel_->addInstance(*shape.parts[part], xfm, transmits ? kTransparentGeometry : kOpaqueGeometry);
        if (id < 0) {
            ok = false;
            continue;
        }
        if (instances_.size() <= size_t(id)) instances_.resize(size_t(id) + 1);
        instance_t& inst = instances_[size_t(id)];
        inst.shape = &shape;
        inst.quadBase = part * meshShape_t::kPartQuads;
        inst.palette = &palette;
        inst.identity = xfm == nullptr;
        if (xfm) {
            std::copy(xfm, xfm + 12, inst.xfm);
            normalMatrix(xfm, inst.normalXfm);
        }
    }
    return ok;
}

void scene_t::addTransparentBounds(const meshShape_t& shape, const float* xfm) {
    auto known = shapeBounds_.find(&shape);
    if (known == shapeBounds_.end()) {
        bound_t b({1e30f, 1e30f, 1e30f}, {-1e30f, -1e30f, -1e30f});
        for (size_t v = 0; v < shape.vertexCount(); ++v) {
            const point3d_t& p = shape.vertices[v];
            b.a = point3d_t(std::min(b.a.x, p.x), std::min(b.a.y, p.y), std::min(b.a.z, p.z));
            b.g = point3d_t(std::max(b.g.x, p.x), std::max(b.g.y, p.y), std::max(b.g.z, p.z));
        }
        known = shapeBounds_.emplace(&shape, b).first;
    }
    const bound_t& local = known->second;
    if (local.a.x > local.g.x) return;  // no vertices
    bound_t& all = transparentBounds_;
    for (int corner = 0; corner < 8; ++corner) {
        const point3d_t c((corner & 1) ? local.g.x : local.a.x, (corner & 2) ? local.g.y : local.a.y,
                          (corner & 4) ? local.g.z : local.a.z);
        const point3d_t p = xfm ? transformPoint(xfm, c) : c;
        // Padded a hundred times the rounding of a float, so that the box never misses what Embree
        // would hit, yet a ray just through a water surface finds itself outside.
        auto pad = [](float x) { return 1e-5f * std::max(1.f, std::fabs(x)); };
        all.a = point3d_t(std::min(all.a.x, p.x - pad(p.x)), std::min(all.a.y, p.y - pad(p.y)),
                          std::min(all.a.z, p.z - pad(p.z)));
        all.g = point3d_t(std::max(all.g.x, p.x + pad(p.x)), std::max(all.g.y, p.y + pad(p.y)),
                          std::max(all.g.z, p.z + pad(p.z)));
    }
}

bool scene_t::endGeometry() {
    if (!inGeometry_ || meshOpen_) {
        logMessage(logLevel_t::error, "endGeometry outside geometry or with a mesh still open");
        if (meshOpen_) endTriMesh();
        if (!inGeometry_) return false;
    }
    inGeometry_ = false;
    accel_ = std::make_unique<EmbreeScene>();
    instances_.clear();
    shapesUsed_.clear();
    reusedShapes_ = 0;
    hasTransparent_ = false;
    shapeBounds_.clear();
    candidates_.clear();
    if (!accel_->valid()) return false;
    bool ok = true;
    for (batch_t& batch : batches_) {
        if (!batch.traced || batch.shape->quadCount() == 0) continue;
        batch.built = finish(std::move(batch.shape));
        ok = batch.built && place(*batch.built, batch.palette, nullptr) && ok;
        if (batch.built) shapesUsed_.push_back(batch.built);
    }
    // A repeated shape is smoothed and built once for each angle its instances asked for.
    std::vector<std::vector<std::pair<float, std::shared_ptr<const meshShape_t>>>> builtAt(shared_.size());
    for (repeat_t& r : repeats_) {
        auto& versions = builtAt[size_t(r.shared)];
        auto found = std::find_if(versions.begin(), versions.end(), [&](const auto& v) { return v.first == r.angle; });
        if (found == versions.end()) {
            auto shape = std::make_shared<meshShape_t>(*shared_[size_t(r.shared)]);
            const auto tris = uint32_t(shape->triangleSlots()), verts = uint32_t(shape->vertices.size());
            smoothingComparisons_ = shape->smooth(0, tris, 0, verts, r.angle);
            versions.emplace_back(r.angle, finish(std::move(shape)));
            found = versions.end() - 1;
            if (found->second) shapesUsed_.push_back(found->second);
        }
        r.built = found->second;
        ok = r.built && place(*r.built, r.palette, r.xfm.data()) && ok;
    }
    shared_.clear();
    GeometryCache::shared().keep(shapesUsed_);
    return accel_->commit() && ok;
}

uint16_t scene_t::slotOf(batch_t& batch, const material_t* mat) {
    if (mat == batch.lastMaterial && !batch.palette.empty()) return batch.lastSlot;
    const auto [it, inserted] = batch.slots.try_emplace(mat, uint16_t(batch.palette.size()));
    if (inserted) {
        if (batch.palette.size() > UINT16_MAX) {
            logMessage(logLevel_t::warning, "too many materials in one mesh; using its first");
            batch.slots.erase(it);
            return 0;
        }
        batch.palette.push_back(mat);
    }
    batch.lastMaterial = mat;
    batch.lastSlot = it->second;
    return it->second;
}

bool scene_t::startTriMesh(unsigned int id, bool hasOrco, bool hasUV, int type) {
    (void)hasOrco, (void)hasUV;
    if (!inGeometry_ || meshOpen_) {
        logMessage(logLevel_t::error, "startTriMesh outside geometry or with a mesh still open");
        return false;
    }
    degenerateInMesh_ = 0;
    const bool traced = isTraced(type);
    if (batches_.empty() || closeBatch_ || batches_.back().traced != traced ||
        batches_.back().palette.size() >= kMaxPaletteSlots) {
        batch_t batch;
        batch.shape = std::make_shared<meshShape_t>();
        batch.traced = traced;
        batches_.push_back(std::move(batch));
        closeBatch_ = false;
    }
    const meshShape_t& shape = *batches_.back().shape;
    mesh_t m;
    m.id = id;
    m.type = type;
    m.batch = int32_t(batches_.size() - 1);
    m.vertexBase = m.vertexEnd = static_cast<uint32_t>(shape.vertices.size());
    m.uvBase = m.uvEnd = static_cast<uint32_t>(shape.uvs.size());
    m.triBegin = m.triEnd = static_cast<uint32_t>(shape.triangleSlots());
    meshes_.push_back(m);
    meshOpen_ = true;
    return true;
}

int scene_t::addVertex(const point3d_t& p) {
    if (!meshOpen_) return -1;
    mesh_t& m = meshes_.back();
    batches_[size_t(m.batch)].shape->vertices.push_back(p);
    return static_cast<int>(m.vertexEnd++ - m.vertexBase);
}

int scene_t::addUV(float u, float v) {
    if (!meshOpen_) return -1;
    mesh_t& m = meshes_.back();
    batches_[size_t(m.batch)].shape->uvs.push_back({u, v});
    return static_cast<int>(m.uvEnd++ - m.uvBase);
}

bool scene_t::addTriangle(int a, int b, int c, int ua, int ub, int uc, const material_t* mat) {
    if (!meshOpen_) return false;
    mesh_t& m = meshes_.back();
    batch_t& batch = batches_[size_t(m.batch)];
    meshShape_t& shape = *batch.shape;
    const int count = static_cast<int>(m.vertexEnd - m.vertexBase);
    if (a < 0 || b < 0 || c < 0 || a >= count || b >= count || c >= count) {
        logMessage(logLevel_t::warning, "addTriangle: vertex index out of range, triangle skipped");
        return false;
    }
    const point3d_t& pa = shape.vertices[m.vertexBase + a];
    const point3d_t& pb = shape.vertices[m.vertexBase + b];
    const point3d_t& pc = shape.vertices[m.vertexBase + c];
    const float area2 = cross(pb - pa, pc - pa).lengthSqr();
    if (a == b || b == c || a == c || !(area2 > 0.f) || !std::isfinite(area2)) {
        ++degenerateInMesh_;
        return false;
    }
    const int uvCount = static_cast<int>(m.uvEnd - m.uvBase);
    int32_t uv[3] = {-1, -1, -1};
    if (ua >= 0 && ub >= 0 && uc >= 0) {
        if (ua >= uvCount || ub >= uvCount || uc >= uvCount) {
            logMessage(logLevel_t::warning, "addTriangle: UV index out of range, triangle skipped");
            return false;
        }
        uv[0] = int32_t(m.uvBase + ua), uv[1] = int32_t(m.uvBase + ub), uv[2] = int32_t(m.uvBase + uc);
    }
    shape.addTriangle(m.vertexBase + a, m.vertexBase + b, m.vertexBase + c, uv[0], uv[1], uv[2],
                      batch.traced ? slotOf(batch, mat) : 0, m.triBegin);
    m.triEnd = static_cast<uint32_t>(shape.triangleSlots());
    ++triangles_;
    return true;
}

bool scene_t::endTriMesh() {
    if (!meshOpen_) return false;
    meshOpen_ = false;
    mesh_t& m = meshes_.back();
    if (degenerateInMesh_ > 0) {
        logMessage(logLevel_t::info, "mesh " + std::to_string(m.id) + ": " + std::to_string(degenerateInMesh_) +
                                         " degenerate triangles dropped");
        degenerateInMesh_ = 0;
    }
    batch_t& batch = batches_[size_t(m.batch)];
    if (!batch.traced) {
        // No ray can hit it: only its record stays, for the calls that name it.
        batch.shape->truncate(m.triBegin, m.vertexBase, m.uvBase);
        return true;
    }
    if (m.triEnd - m.triBegin >= kMinRepeatTriangles && !placeAsRepeat(m)) {
        candidates_.emplace(m.signature, uint32_t(meshes_.size() - 1));
    }
    if (m.batch >= 0 && m.triEnd - m.triBegin >= kOwnShapeTriangles) closeBatch_ = true;
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

// Walks a mesh's triangles in its own terms: vertex and UV indices local to the mesh, materials
// numbered by first appearance.
namespace {
template <typename Visit>
void visitLocal(const meshShape_t& shape, uint32_t triBegin, uint32_t triEnd, uint32_t vertexBase, uint32_t uvBase,
                Visit&& visit) {
    std::vector<int32_t> localSlot;
    int32_t nextSlot = 0;
    for (uint32_t t = triBegin; t < triEnd; ++t) {
        if (!shape.hasTriangle(t)) continue;
        const uint16_t slot = shape.materialSlot.empty() ? 0 : shape.materialSlot[t / 2];
        if (localSlot.size() <= slot) localSlot.resize(size_t(slot) + 1, -1);
        if (localSlot[slot] < 0) localSlot[slot] = nextSlot++;
        int32_t uv[3], v[3];
        for (int k = 0; k < 3; ++k) {
            v[k] = int32_t(shape.corner(t, k) - vertexBase);
            const int32_t u = shape.cornerUV(t, k);
            uv[k] = u < 0 ? -1 : u - int32_t(uvBase);
        }
        visit(t, v, uv, localSlot[slot], slot);
    }
}
}  // namespace

uint64_t scene_t::signatureOf(const mesh_t& m) const {
    const meshShape_t& shape = *batches_[size_t(m.batch)].shape;
    uint64_t h = mixHash(mixHash(m.triEnd - m.triBegin, m.vertexEnd - m.vertexBase), m.uvEnd - m.uvBase);
    // The start of a mesh tells meshes apart well enough for a key (sameRepeatable compares all of
    // it), and a layer of millions of triangles costs no more to look at than a small one.
    const uint32_t triEnd = std::min(m.triEnd, m.triBegin + kSignatureTriangles);
    const uint32_t uvEnd = std::min(m.uvEnd, m.uvBase + kSignatureTriangles);
    visitLocal(shape, m.triBegin, triEnd, m.vertexBase, m.uvBase,
               [&](uint32_t, const int32_t* v, const int32_t* uv, int32_t slot, uint16_t) {
                   for (int k = 0; k < 3; ++k) h = mixHash(h, (uint64_t(uint32_t(v[k])) << 32) | uint32_t(uv[k]));
                   h = mixHash(h, uint64_t(slot));
               });
    for (uint32_t i = m.uvBase; i < uvEnd; ++i) {
        h = mixHash(h, (floatBits(shape.uvs[i][0]) << 32) | floatBits(shape.uvs[i][1]));
    }
    return h;
}

bool scene_t::sameRepeatable(const mesh_t& a, const mesh_t& b) const {
    if (a.signature != b.signature || a.triEnd - a.triBegin != b.triEnd - b.triBegin ||
        a.vertexEnd - a.vertexBase != b.vertexEnd - b.vertexBase || a.uvEnd - a.uvBase != b.uvEnd - b.uvBase)
        return false;
    const meshShape_t& sa = *batches_[size_t(a.batch)].shape;
    const meshShape_t& sb = *batches_[size_t(b.batch)].shape;
    for (uint32_t i = 0; i < a.uvEnd - a.uvBase; ++i) {
        if (sa.uvs[a.uvBase + i] != sb.uvs[b.uvBase + i]) return false;
    }
    std::vector<int32_t> pattern;
    pattern.reserve(size_t(a.triEnd - a.triBegin) * 7);
    visitLocal(sa, a.triBegin, a.triEnd, a.vertexBase, a.uvBase,
               [&](uint32_t, const int32_t* v, const int32_t* uv, int32_t slot, uint16_t) {
                   pattern.insert(pattern.end(), {v[0], v[1], v[2], uv[0], uv[1], uv[2], slot});
               });
    size_t i = 0;
    bool same = true;
    visitLocal(sb, b.triBegin, b.triEnd, b.vertexBase, b.uvBase,
               [&](uint32_t, const int32_t* v, const int32_t* uv, int32_t slot, uint16_t) {
                   const int32_t mine[7] = {v[0], v[1], v[2], uv[0], uv[1], uv[2], slot};
                   same = same && std::equal(mine, mine + 7, pattern.begin() + i);
                   i += 7;
               });
    return same;
}

int32_t scene_t::sharedCopyOf(mesh_t& m) {
    if (m.shared >= 0) return m.shared;
    const meshShape_t& from = *batches_[size_t(m.batch)].shape;
    auto copy = std::make_shared<meshShape_t>();
    copy->vertices.reserve(m.vertexEnd - m.vertexBase);
    for (uint32_t v = m.vertexBase; v < m.vertexEnd; ++v) copy->vertices.push_back(from.vertices[v]);
    copy->uvs.reserve(m.uvEnd - m.uvBase);
    for (uint32_t u = m.uvBase; u < m.uvEnd; ++u) copy->uvs.push_back(from.uvs[u]);
    visitLocal(from, m.triBegin, m.triEnd, m.vertexBase, m.uvBase,
               [&](uint32_t, const int32_t* v, const int32_t* uv, int32_t slot, uint16_t) {
                   copy->addTriangle(uint32_t(v[0]), uint32_t(v[1]), uint32_t(v[2]), uv[0], uv[1], uv[2],
                                     uint16_t(slot), 0);
               });
    m.shared = int32_t(shared_.size());
    shared_.push_back(std::move(copy));
    return m.shared;
}

bool scene_t::placeAsRepeat(mesh_t& m) {
    m.signature = signatureOf(m);
    const meshShape_t& shape = *batches_[size_t(m.batch)].shape;
    const auto [first, last] = candidates_.equal_range(m.signature);
    for (auto it = first; it != last; ++it) {
        mesh_t& earlier = meshes_[it->second];
        if (!sameRepeatable(earlier, m)) continue;
        const meshShape_t& earlierShape = *batches_[size_t(earlier.batch)].shape;
        const auto xfm = similarityBetween(&earlierShape.vertices[earlier.vertexBase], &shape.vertices[m.vertexBase],
                                           m.vertexEnd - m.vertexBase);
        if (!xfm) continue;
        repeat_t r;
        r.shared = sharedCopyOf(earlier);
        r.xfm = *xfm;
        const std::vector<const material_t*>& palette = batches_[size_t(m.batch)].palette;
        visitLocal(shape, m.triBegin, m.triEnd, m.vertexBase, m.uvBase,
                   [&](uint32_t, const int32_t*, const int32_t*, int32_t local, uint16_t slot) {
                       if (size_t(local) == r.palette.size()) r.palette.push_back(palette[slot]);
                   });
        // Its triangles were the last the batch took: they give way to the instance.
        batches_[size_t(m.batch)].shape->truncate(m.triBegin, m.vertexBase, m.uvBase);
        m.batch = -1;
        m.repeat = int32_t(repeats_.size());
        repeats_.push_back(std::move(r));
        return true;
    }
    return false;
}

bool scene_t::smoothMesh(unsigned int id, float angleDeg) {
    smoothingComparisons_ = 0;
    if (!inGeometry_ || meshOpen_) return false;
    mesh_t* m = findMesh(id);
    if (!m || (m->type & kMeshTypeMask) != 0) return false;
    if (angleDeg <= meshShape_t::kMinSmoothAngle) return true;
    if (m->repeat >= 0) {
        repeats_[size_t(m->repeat)].angle = angleDeg;
        return true;
    }
    batch_t& batch = batches_[size_t(m->batch)];
    if (!batch.traced) return true;
    smoothingComparisons_ = batch.shape->smooth(m->triBegin, m->triEnd, m->vertexBase, m->vertexEnd, angleDeg);
    return true;
}

void scene_t::fillSurfacePoint(const ray_t& ray, const embreeHit_t& hit, surfacePoint_t& sp) const {
    const instance_t& inst = instances_[hit.instID];
    const meshShape_t& shape = *inst.shape;
    const meshShape_t::quadHit_t at =
        shape.resolveHit(inst.quadBase / meshShape_t::kPartQuads, hit.geomID, hit.primID, hit.u, hit.v);
    const size_t quad = at.quad;
    float weights[3];
    const size_t tri = shape.hitTriangle(quad, at.u, at.v, weights);
    const float b0 = weights[0], b1 = weights[1], b2 = weights[2];
    uint32_t cornerVertex[3];
    shape.corners(tri, at.vertex, cornerVertex);
    sp.P = ray.from + ray.dir * hit.t;
    vector3d_t ng = (inst.identity ? hit.Ng : transformNormal(inst.normalXfm, hit.Ng)).normalized();
    vector3d_t n = ng;
    if (shape.smoothed(tri)) {
        auto corner = [&](int k) {
            const vector3d_t c = shape.cornerNormal(tri, k, cornerVertex[k], ng);
            if (inst.identity || (c.x == ng.x && c.y == ng.y && c.z == ng.z)) return c;
            return transformNormal(inst.normalXfm, c).normalized();
        };
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
    sp.material = (*inst.palette)[shape.materialSlot.empty() ? 0 : shape.materialSlot[quad]];
    const int32_t uv0 = shape.cornerUV(tri, 0, cornerVertex[0]);
    sp.hasUV = uv0 >= 0;
    float cornerUV[3][2] = {};
    if (sp.hasUV) {
        const int32_t uvIndex[3] = {uv0, shape.cornerUV(tri, 1, cornerVertex[1]),
                                    shape.cornerUV(tri, 2, cornerVertex[2])};
        for (int k = 0; k < 3; ++k) {
            cornerUV[k][0] = shape.uvs[uvIndex[k]][0];
            cornerUV[k][1] = shape.uvs[uvIndex[k]][1];
        }
        sp.u = b0 * cornerUV[0][0] + b1 * cornerUV[1][0] + b2 * cornerUV[2][0];
        sp.v = b0 * cornerUV[0][1] + b1 * cornerUV[1][1] + b2 * cornerUV[2][1];
    } else {
        sp.u = b1;
        sp.v = b2;
    }
    point3d_t p[3];
    for (int k = 0; k < 3; ++k) {
        p[k] = shape.vertices[cornerVertex[k]];
        if (!inst.identity) p[k] = transformPoint(inst.xfm, p[k]);
    }
    setSurfaceDifferentials(sp, p[0], p[1], p[2], sp.hasUV ? cornerUV : nullptr);
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
    // Anything opaque on the way shadows the point whatever lies before it, and Embree answers that
    // with any hit; only the instances that may transmit are walked hit by hit, nearest first.
    if (accel_->occluded(ray, kOpaqueGeometry)) return true;
    return blockedByTransparent(ray, maxTransparent, filter);
}

void scene_t::areShadowed(const int* valid, const ray_t* rays, bool* shadowed, int maxTransparent,
                          color_t* filters) const {
    if (!accel_) {
        for (int i = 0; i < 8; ++i) shadowed[i] = false;
        if (filters)
            for (int i = 0; i < 8; ++i) filters[i] = color_t(1.f);
        return;
    }
    accel_->occluded8(valid, rays, shadowed, filters ? kOpaqueGeometry : kAnyGeometry);
    if (!filters) return;
    for (int i = 0; i < 8; ++i) {
        filters[i] = color_t(1.f);
        if (valid[i] && !shadowed[i]) shadowed[i] = blockedByTransparent(rays[i], maxTransparent, filters[i]);
    }
}

bool scene_t::blockedByTransparent(const ray_t& ray, int maxTransparent, color_t& filter) const {
    if (!hasTransparent_) return false;
    // The surfaces crossed, for the absorption inside closed bodies (water, tinted glass) once
    // the ray is through: the windings of such bodies cannot be trusted, the parity of the
    // crossings can.
    std::vector<std::pair<const material_t*, float>> crossed;
    auto absorbed = [&crossed, &filter]() {
        for (size_t i = 0; i < crossed.size(); ++i) {
            const material_t* body = crossed[i].first;
            bool seen = false;
            for (size_t j = 0; j < i && !seen; ++j) seen = crossed[j].first == body;
            if (seen) continue;
            // An odd count of crossings means the ray started inside: its first segment is in.
            size_t count = 0;
            for (const auto& c : crossed) count += c.first == body;
            float inside = 0.f, from = 0.f;
            bool in = count % 2 == 1;
            for (const auto& c : crossed) {
                if (c.first != body) continue;
                if (in) inside += c.second - from;
                from = c.second;
                in = !in;
            }
            if (inside > 0.f) filter *= body->insideTransmittance(inside);
        }
        return false;
    };
    ray_t r = ray;
    float travelled = 0.f;  // distance along the ray walked so far
    for (int passed = 0;; ++passed) {
        // A ray that misses the box around everything transparent has nothing left to cross:
        // most shadow rays, and those that have come up through a water surface.
        float enter = 0.f, leave = 0.f;
        if (!transparentBounds_.cross(r, enter, leave, r.tmax >= 0.f ? r.tmax : 1e30f)) return absorbed();
        embreeHit_t hit;
        if (!accel_->intersect(r, hit, kTransparentGeometry)) return absorbed();
        const instance_t& inst = instances_[hit.instID];
        const meshShape_t& shape = *inst.shape;
        const size_t quad =
            shape.resolveHit(inst.quadBase / meshShape_t::kPartQuads, hit.geomID, hit.primID, hit.u, hit.v).quad;
        const material_t* material = (*inst.palette)[shape.materialSlot.empty() ? 0 : shape.materialSlot[quad]];
        if (!material || !material->isTransparent() || passed >= maxTransparent) return true;
        surfacePoint_t sp;
        fillSurfacePoint(r, hit, sp);
        filter *= material->shadowFilter(sp, r.dir);
        crossed.emplace_back(material, travelled + hit.t);
        if (filter.isBlack()) return true;
        // Continue just past the surface; the remaining length shrinks accordingly.
        const float step = hit.t + 0.0005f * std::max(1.f, sp.P.length()) * 0.1f;
        travelled += step;
        r.from = r.from + r.dir * step;
        r.tmin = 0.f;
        if (r.tmax >= 0.f) {
            r.tmax -= step;
            if (r.tmax <= 0.f) return absorbed();
        }
    }
}

size_t scene_t::shapeBytes() const {
    size_t bytes = 0;
    for (const auto& shape : shapesUsed_) {
        bytes += shape->vertices.size() * sizeof(point3d_t) + shape->quads.size() * sizeof(uint32_t) +
                 shape->grids.size() * sizeof(gridRun_t) +
                 shape->turns.size() +
                 shape->uvs.size() * sizeof(float[2]) + shape->uvIndices.size() * sizeof(int32_t) +
                 shape->materialSlot.size() * sizeof(uint16_t) + shape->smoothNormals.bytes();
    }
    return bytes;
}

void scene_t::clear() {
    inGeometry_ = meshOpen_ = closeBatch_ = false;
    degenerateInMesh_ = 0;
    triangles_ = 0;
    reusedShapes_ = 0;
    meshes_.clear();
    batches_.clear();
    repeats_.clear();
    shared_.clear();
    candidates_.clear();
    instances_.clear();
    shapesUsed_.clear();
    accel_.reset();
}

}  // namespace yafaray
