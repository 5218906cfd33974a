#include "scene/materials/BaseMaterial.h"

#include "foundation/UniqueString.h"
#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"

namespace korvane {

BaseMaterial::BaseMaterial() : name_(uniqueString()), hiddenRandomName_(uniqueString()) {}

std::string BaseMaterial::materialNameForRenderer() const {
    return name_ + " - " + hiddenRandomName_;
}

const yafaray::material_t* BaseMaterial::appendToRenderer(BaseRenderer& renderer) {
    return appendToRenderer(renderer, 1.0f, 1.0f, 1.0f);
}

const yafaray::material_t* BaseMaterial::appendToRenderer(BaseRenderer&, float, float, float) {
    return nullptr;
}

yafaray::yafrayInterface_t* BaseMaterial::interfaceOf(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return nullptr;
    return renderer.yafrayinterface();
}

void BaseMaterial::encode(KeyedArchiver& coder) const {
    coder.encodeString("name", name_);
}

void BaseMaterial::decode(KeyedUnarchiver& coder) {
    name_ = coder.decodeString("name").value_or("");
}

}  // namespace korvane
