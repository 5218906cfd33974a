#include "raytracer/core/EmbreeScene.h"

#include <embree3/rtcore.h>

#include <atomic>
#include <limits>
#include <string>

#include "raytracer/core/Log.h"

namespace yafaray {
namespace {

void embreeError(void*, RTCError code, const char* message) {
    logMessage(logLevel_t::error,
               "Embree error " + std::to_string(static_cast<int>(code)) + ": " + (message ? message : ""));
}

std::atomic<long long>& embreeBytes() {
    static std::atomic<long long> bytes{0};
    return bytes;
}

bool countBytes(void*, ssize_t bytes, bool) {
    embreeBytes().fetch_add(bytes, std::memory_order_relaxed);
    return true;
}

// One device for the process: creating it starts Embree's task system, which is worth sharing.
RTCDevice sharedDevice() {
    static RTCDevice device = [] {
        RTCDevice d = rtcNewDevice(nullptr);
        if (!d) {
            logMessage(logLevel_t::error, "cannot create the Embree device");
        } else {
            rtcSetDeviceErrorFunction(d, embreeError, nullptr);
            rtcSetDeviceMemoryMonitorFunction(d, countBytes, nullptr);
        }
        return d;
    }();
    return device;
}

// Embree's Ng already points to the counter-clockwise front, cross(v1 − v0, v2 − v0); the sign is
// kept explicit because the smooth-normal code relies on it (checked by the geometry tests).
constexpr float kNgSign = 1.f;

float farOf(const ray_t& ray) {
    return ray.tmax < 0.f ? std::numeric_limits<float>::infinity() : ray.tmax;
}

// Lanes [0, n) of a ray packet (RTCRay8, RTCRay16…) from rays[], with Embree's valid flags;
// unused lanes get an empty interval.
template <typename Packet>
void fillRayLanes(Packet& r, int* lanes, const int* valid, const ray_t* rays, int n, uint32_t mask) {
    for (int i = 0; i < n; ++i) {
        lanes[i] = valid[i] ? -1 : 0;
        const ray_t& ray = rays[i];
        r.org_x[i] = ray.from.x;
        r.org_y[i] = ray.from.y;
        r.org_z[i] = ray.from.z;
        r.dir_x[i] = ray.dir.x;
        r.dir_y[i] = ray.dir.y;
        r.dir_z[i] = ray.dir.z;
        r.tnear[i] = ray.tmin;
        r.tfar[i] = valid[i] ? farOf(ray) : 0.f;
        r.time[i] = 0.f;
        r.mask[i] = mask;
        r.id[i] = static_cast<unsigned>(i);
        r.flags[i] = 0;
    }
}

}  // namespace

// Shapes hold many triangles and are built once: the compact layout (quads by index into the
// shared vertices rather than copied) halves their memory for a small cost in speed.
EmbreeShape::EmbreeShape(const float* vertices, size_t vertexCount, const uint32_t* quads, size_t quadCount,
                         const void* grids, size_t gridCount, size_t gridStride) {
    RTCDevice device = sharedDevice();
    if (!device || quadCount + gridCount == 0) return;
    RTCScene scene = rtcNewScene(device);
    if (!scene) return;
    // Robust: Embree's fast quad test can let a ray through exactly on a quad's diagonal; the
    // robust one is watertight there, as between neighbouring quads.
    rtcSetSceneFlags(scene, RTC_SCENE_FLAG_COMPACT | RTC_SCENE_FLAG_ROBUST);
    rtcSetSceneBuildQuality(scene, RTC_BUILD_QUALITY_MEDIUM);
    auto attach = [&](RTCGeometryType type, RTCBufferType indexType, RTCFormat format, const void* indices,
                      size_t stride, size_t count, uint32_t id) {
        RTCGeometry geom = rtcNewGeometry(device, type);
        if (!geom) return false;
        rtcSetSharedGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, vertices, 0,
                                   3 * sizeof(float), vertexCount);
        rtcSetSharedGeometryBuffer(geom, indexType, 0, format, indices, 0, stride, count);
        // Rays are told apart by the instances' masks; the shape itself is seen by every ray.
        rtcSetGeometryMask(geom, kAnyGeometry);
        rtcCommitGeometry(geom);
        rtcAttachGeometryByID(scene, geom, id);
        rtcReleaseGeometry(geom);
        return true;
    };
    const bool attached =
        (quadCount == 0 || attach(RTC_GEOMETRY_TYPE_QUAD, RTC_BUFFER_TYPE_INDEX, RTC_FORMAT_UINT4, quads,
                                  4 * sizeof(uint32_t), quadCount, kQuadGeometry)) &&
        (gridCount == 0 || attach(RTC_GEOMETRY_TYPE_GRID, RTC_BUFFER_TYPE_GRID, RTC_FORMAT_GRID, grids, gridStride,
                                  gridCount, kGridGeometry));
    if (!attached) {
        rtcReleaseScene(scene);
        return;
    }
    rtcCommitScene(scene);
    if (rtcGetDeviceError(device) != RTC_ERROR_NONE) {
        rtcReleaseScene(scene);
        return;
    }
    scene_ = scene;
}

EmbreeShape::~EmbreeShape() {
    if (scene_) rtcReleaseScene(static_cast<RTCScene>(scene_));
}

size_t EmbreeScene::deviceBytes() {
    const long long bytes = embreeBytes().load(std::memory_order_relaxed);
    return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

struct EmbreeScene::impl_t {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
};

EmbreeScene::EmbreeScene() : impl_(std::make_unique<impl_t>()) {
    impl_->device = sharedDevice();
    if (impl_->device) {
        impl_->scene = rtcNewScene(impl_->device);
        rtcSetSceneBuildQuality(impl_->scene, RTC_BUILD_QUALITY_MEDIUM);
    }
}

EmbreeScene::~EmbreeScene() {
    if (impl_->scene) rtcReleaseScene(impl_->scene);
}

bool EmbreeScene::valid() const {
    return impl_->scene != nullptr;
}

int EmbreeScene::addTriangles(const float* vertices, size_t vertexCount, const uint32_t* indices,
                              size_t triangles) {
    if (!valid() || triangles == 0) return -1;
    RTCGeometry geom = rtcNewGeometry(impl_->device, RTC_GEOMETRY_TYPE_TRIANGLE);
    if (!geom) return -1;
    rtcSetSharedGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, vertices, 0,
                               3 * sizeof(float), vertexCount);
    rtcSetSharedGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, indices, 0,
                               3 * sizeof(uint32_t), triangles);
    rtcCommitGeometry(geom);
    const unsigned id = rtcAttachGeometry(impl_->scene, geom);
    rtcReleaseGeometry(geom);
    return static_cast<int>(id);
}

int EmbreeScene::addInstance(const EmbreeShape& shape, const float* xfm, uint32_t mask) {
    if (!valid() || !shape.valid()) return -1;
    RTCGeometry geom = rtcNewGeometry(impl_->device, RTC_GEOMETRY_TYPE_INSTANCE);
    if (!geom) return -1;
    rtcSetGeometryInstancedScene(geom, static_cast<RTCScene>(shape.scene_));
    static constexpr float kIdentity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    // Embree's column-major layout takes the transposed 3 × 4 rows.
    const float* m = xfm ? xfm : kIdentity;
    const float columns[12] = {m[0], m[4], m[8], m[1], m[5], m[9], m[2], m[6], m[10], m[3], m[7], m[11]};
    rtcSetGeometryTransform(geom, 0, RTC_FORMAT_FLOAT3X4_COLUMN_MAJOR, columns);
    rtcSetGeometryMask(geom, mask);
    rtcCommitGeometry(geom);
    const unsigned id = rtcAttachGeometry(impl_->scene, geom);
    rtcReleaseGeometry(geom);
    return static_cast<int>(id);
}

bool EmbreeScene::commit() {
    if (!valid()) return false;
    rtcCommitScene(impl_->scene);
    return rtcGetDeviceError(impl_->device) == RTC_ERROR_NONE;
}

bool EmbreeScene::intersect(const ray_t& ray, embreeHit_t& hit, uint32_t mask) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh;
    rh.ray.org_x = ray.from.x;
    rh.ray.org_y = ray.from.y;
    rh.ray.org_z = ray.from.z;
    rh.ray.dir_x = ray.dir.x;
    rh.ray.dir_y = ray.dir.y;
    rh.ray.dir_z = ray.dir.z;
    rh.ray.tnear = ray.tmin;
    rh.ray.tfar = farOf(ray);
    rh.ray.time = 0.f;
    rh.ray.mask = mask;
    rh.ray.id = 0;
    rh.ray.flags = 0;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(impl_->scene, &context, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return false;
    hit.t = rh.ray.tfar;
    hit.u = rh.hit.u;
    hit.v = rh.hit.v;
    hit.instID = rh.hit.instID[0];
    hit.geomID = rh.hit.geomID;
    hit.primID = rh.hit.primID;
    hit.Ng = vector3d_t(rh.hit.Ng_x, rh.hit.Ng_y, rh.hit.Ng_z) * kNgSign;
    return true;
}

bool EmbreeScene::occluded(const ray_t& ray, uint32_t mask) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRay r;
    r.org_x = ray.from.x;
    r.org_y = ray.from.y;
    r.org_z = ray.from.z;
    r.dir_x = ray.dir.x;
    r.dir_y = ray.dir.y;
    r.dir_z = ray.dir.z;
    r.tnear = ray.tmin;
    r.tfar = farOf(ray);
    r.time = 0.f;
    r.mask = mask;
    r.id = 0;
    r.flags = 0;
    rtcOccluded1(impl_->scene, &context, &r);
    return r.tfar < 0.f;
}

void EmbreeScene::occluded8(const int* valid, const ray_t* rays, bool* blocked, uint32_t mask) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    context.flags = RTC_INTERSECT_CONTEXT_FLAG_COHERENT;
    alignas(32) RTCRay8 r;
    alignas(32) int lanes[8];
    fillRayLanes(r, lanes, valid, rays, 8, mask);
    rtcOccluded8(lanes, impl_->scene, &context, &r);
    for (int i = 0; i < 8; ++i) blocked[i] = valid[i] && r.tfar[i] < 0.f;
}

void EmbreeScene::intersect16(const int* valid, const ray_t* rays, embreeHit_t* hits) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    context.flags = RTC_INTERSECT_CONTEXT_FLAG_COHERENT;
    alignas(64) RTCRayHit16 rh;
    alignas(64) int lanes[16];
    fillRayLanes(rh.ray, lanes, valid, rays, 16, kAnyGeometry);
    for (int i = 0; i < 16; ++i) {
        rh.hit.geomID[i] = RTC_INVALID_GEOMETRY_ID;
        rh.hit.instID[0][i] = RTC_INVALID_GEOMETRY_ID;
    }
    rtcIntersect16(lanes, impl_->scene, &context, &rh);
    for (int i = 0; i < 16; ++i) {
        if (!valid[i] || rh.hit.geomID[i] == RTC_INVALID_GEOMETRY_ID) {
            hits[i].t = -1.f;
            continue;
        }
        hits[i].t = rh.ray.tfar[i];
        hits[i].u = rh.hit.u[i];
        hits[i].v = rh.hit.v[i];
        hits[i].instID = rh.hit.instID[0][i];
        hits[i].geomID = rh.hit.geomID[i];
        hits[i].primID = rh.hit.primID[i];
        hits[i].Ng = vector3d_t(rh.hit.Ng_x[i], rh.hit.Ng_y[i], rh.hit.Ng_z[i]) * kNgSign;
    }
}

}  // namespace yafaray
