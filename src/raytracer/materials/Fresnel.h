#pragma once

// Fresnel reflectance and refraction shared by the materials.

#include "raytracer/core/Vector.h"

namespace yafaray {

// Unpolarised Fresnel reflectance for a ray meeting a boundary at cosine c (|wo·N|) with
// relative index eta = n_behind / n_front. 1 under total internal reflection.
float fresnelReflectance(float c, float eta);

// Refracts the incoming direction -wo (wo unit, on N's side) through a boundary with relative
// index eta = n_behind / n_front into t; false under total internal reflection.
bool refractDirection(const vector3d_t& wo, const vector3d_t& N, float eta, vector3d_t& t);

}  // namespace yafaray
