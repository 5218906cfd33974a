#include "scene/layers/mesh/ThreeDSFile.h"

#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace korvane {

namespace {
// The object flag that marks a hidden object in the file's named-object chunk.
constexpr Lib3dsDword kHiddenObjectFlag = 0x01;
// lib3ds keeps names in fixed 64-byte arrays; the longest name that still ends in a zero.
constexpr size_t kLongestName = 63;
// 3DS point indices are 16-bit.
constexpr size_t kMostPointsPerMesh = 65535;

struct FileDeleter {
    void operator()(Lib3dsFile* file) const { lib3ds_file_free(file); }
};
using FileHandle = std::unique_ptr<Lib3dsFile, FileDeleter>;

std::string boundedName(const char* name) { return std::string(name, strnlen(name, 64)); }

// 1.3 names the material of every face; the model counts them by the file's material order.
int materialIndexByName(const std::vector<ThreeDSMaterial>& materials, const char* faceMaterial) {
    const std::string name = boundedName(faceMaterial);
    if (name.empty()) return -1;
    for (size_t i = 0; i < materials.size(); ++i) {
        if (materials[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

void copyName(char (&target)[64], const std::string& name) {
    std::memset(target, 0, sizeof target);
    std::memcpy(target, name.data(), std::min(name.size(), kLongestName));
}
}  // namespace

std::optional<ThreeDSFile> readThreeDSFile(const std::string& path) {
    FileHandle file(lib3ds_file_load(path.c_str()));
    if (!file) return std::nullopt;
    lib3ds_file_eval(file.get(), 0.0f);

    ThreeDSFile contents;
    for (Lib3dsMaterial* material = file->materials; material; material = material->next) {
        ThreeDSMaterial read;
        read.name = boundedName(material->name);
        read.diffuse = {material->diffuse[0], material->diffuse[1], material->diffuse[2]};
        read.transparency = material->transparency;
        contents.materials.push_back(std::move(read));
    }
    for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next) {
        ThreeDSMesh read;
        read.name = boundedName(mesh->name);
        read.hidden = (mesh->object_flags & kHiddenObjectFlag) != 0;
        if (mesh->pointL) {
            for (Lib3dsDword i = 0; i < mesh->points; ++i) {
                const float* p = mesh->pointL[i].pos;
                read.points.push_back({p[0], p[1], p[2]});
            }
        }
        if (mesh->texelL) {
            for (Lib3dsDword i = 0; i < mesh->texels; ++i) {
                read.texels.push_back({mesh->texelL[i][0], mesh->texelL[i][1]});
            }
        }
        if (mesh->faceL) {
            for (Lib3dsDword i = 0; i < mesh->faces; ++i) {
                const Lib3dsFace& face = mesh->faceL[i];
                read.faces.push_back({{face.points[0], face.points[1], face.points[2]},
                                      materialIndexByName(contents.materials, face.material)});
            }
        }
        contents.meshes.push_back(std::move(read));
    }
    return contents;
}

bool writeThreeDSFile(const ThreeDSFile& contents, const std::string& path, std::string* error) {
    auto fail = [error](const std::string& reason) {
        if (error) *error = reason;
        return false;
    };
    FileHandle file(lib3ds_file_new());
    if (!file) return fail("out of memory");
    for (const ThreeDSMaterial& material : contents.materials) {
        if (material.name.size() > kLongestName) return fail("material name too long: " + material.name);
        Lib3dsMaterial* written = lib3ds_material_new();
        copyName(written->name, material.name);
        for (int c = 0; c < 3; ++c) written->diffuse[c] = material.diffuse[c];
        written->diffuse[3] = 1.0f;
        written->transparency = material.transparency;
        lib3ds_file_insert_material(file.get(), written);
    }
    for (const ThreeDSMesh& mesh : contents.meshes) {
        if (mesh.name.size() > kLongestName) return fail("mesh name too long: " + mesh.name);
        if (mesh.points.size() > kMostPointsPerMesh) return fail("too many points in mesh " + mesh.name);
        Lib3dsMesh* written = lib3ds_mesh_new(mesh.name.c_str());
        lib3ds_file_insert_mesh(file.get(), written);  // the file frees it from here on
        written->object_flags = mesh.hidden ? kHiddenObjectFlag : 0;
        lib3ds_mesh_new_point_list(written, static_cast<Lib3dsDword>(mesh.points.size()));
        for (size_t i = 0; i < mesh.points.size(); ++i) {
            for (int c = 0; c < 3; ++c) written->pointL[i].pos[c] = mesh.points[i][c];
        }
        if (!mesh.texels.empty()) {
            lib3ds_mesh_new_texel_list(written, static_cast<Lib3dsDword>(mesh.texels.size()));
            for (size_t i = 0; i < mesh.texels.size(); ++i) {
                written->texelL[i][0] = mesh.texels[i][0];
                written->texelL[i][1] = mesh.texels[i][1];
            }
        }
        lib3ds_mesh_new_face_list(written, static_cast<Lib3dsDword>(mesh.faces.size()));
        for (size_t i = 0; i < mesh.faces.size(); ++i) {
            const ThreeDSFace& face = mesh.faces[i];
            Lib3dsFace& target = written->faceL[i];
            for (int c = 0; c < 3; ++c) {
                if (face.points[c] > kMostPointsPerMesh) return fail("point index too large in mesh " + mesh.name);
                target.points[c] = static_cast<Lib3dsWord>(face.points[c]);
            }
            const bool hasMaterial =
                face.materialIndex >= 0 && static_cast<size_t>(face.materialIndex) < contents.materials.size();
            copyName(target.material, hasMaterial ? contents.materials[face.materialIndex].name : "");
        }
    }

    const std::string temporary = path + ".writing-" + std::to_string(getpid());
    if (!lib3ds_file_save(file.get(), temporary.c_str())) {
        std::remove(temporary.c_str());
        return fail("lib3ds could not write the file");
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::remove(temporary.c_str());
        return fail(renameError.message());
    }
    return true;
}

}  // namespace korvane
