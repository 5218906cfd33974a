#include "scene/layers/clouds/CloudsLayer.h"

#include <algorithm>

#include "foundation/archive/KeyedArchiver.h"
#include "foundation/archive/KeyedUnarchiver.h"
#include "scene/BaseRenderer.h"

namespace korvane {

namespace {
constexpr const char* kCloudsKey = "clouds";

bool holds(const CloudsLayer::CloudList& clouds, const Cloud* cloud) {
    return std::any_of(clouds.begin(), clouds.end(),
                       [cloud](const auto& held) { return held.get() == cloud; });
}
}  // namespace

CloudsLayer::CloudsLayer(Scene* scene) : BaseSceneLayer(scene) {}

CloudsLayer::~CloudsLayer() {
    for (const auto& cloud : clouds_) {
        if (cloud->cloudsLayer() == this) cloud->setCloudsLayer(nullptr);
    }
}

std::shared_ptr<BaseSceneLayer> CloudsLayer::copy() const {
    auto layer = std::make_shared<CloudsLayer>();
    CloudList copies;
    copies.reserve(clouds_.size());
    for (const auto& cloud : clouds_) copies.push_back(cloud->copy());
    layer->replaceClouds(std::move(copies));
    return layer;
}

void CloudsLayer::setClouds(const CloudList& clouds) {
    willChange(KeyValueChangeKind::Setting, {}, kCloudsKey);
    CloudList stored;
    stored.reserve(clouds.size());
    for (const auto& cloud : clouds) {
        if (cloud) stored.push_back(cloud);
    }
    replaceClouds(std::move(stored));
    postSceneDidChange();
    didChange(KeyValueChangeKind::Setting, {}, kCloudsKey);
}

std::shared_ptr<Cloud> CloudsLayer::addNewCloud() {
    auto cloud = std::make_shared<Cloud>();
    addCloud(cloud);
    return cloud;
}

void CloudsLayer::addCloud(std::shared_ptr<Cloud> cloud) {
    if (!cloud) return;
    willChange(KeyValueChangeKind::Insertion, {clouds_.size()}, kCloudsKey);
    cloud->setCloudsLayer(this);
    clouds_.push_back(std::move(cloud));
    postSceneDidChange();
    didChange(KeyValueChangeKind::Insertion, {clouds_.size() - 1}, kCloudsKey);
}

void CloudsLayer::removeCloud(const std::shared_ptr<Cloud>& cloud) {
    if (!cloud) return;
    std::shared_ptr<Cloud> kept = cloud;  // the argument may be an element of clouds_
    std::vector<size_t> indexes;
    for (size_t i = 0; i < clouds_.size(); ++i) {
        if (clouds_[i] == kept) indexes.push_back(i);
    }
    if (indexes.empty()) return;
    willChange(KeyValueChangeKind::Removal, indexes, kCloudsKey);
    std::erase(clouds_, kept);
    if (kept->cloudsLayer() == this) kept->setCloudsLayer(nullptr);
    postSceneDidChange();
    didChange(KeyValueChangeKind::Removal, indexes, kCloudsKey);
}

void CloudsLayer::appendToRenderer(BaseRenderer& renderer) {
    if (!renderer.isYafarayRenderer()) return;
    const CloudList clouds = clouds_;  // a cloud may not change the list, nor may it move under the loop
    for (const auto& cloud : clouds) cloud->appendToRenderer(renderer);
}

void CloudsLayer::encode(KeyedArchiver& coder) const {
    BaseSceneLayer::encode(coder);
    coder.encodeObjects(kCloudsKey, clouds_);
}

void CloudsLayer::decode(KeyedUnarchiver& coder) {
    BaseSceneLayer::decode(coder);
    if (coder.containsValue(kCloudsKey)) replaceClouds(coder.decodeObjects<Cloud>(kCloudsKey));
}

void CloudsLayer::replaceClouds(CloudList clouds) {
    for (const auto& cloud : clouds_) {
        if (cloud->cloudsLayer() == this && !holds(clouds, cloud.get())) cloud->setCloudsLayer(nullptr);
    }
    clouds_ = std::move(clouds);
    for (const auto& cloud : clouds_) cloud->setCloudsLayer(this);
}

}  // namespace korvane
