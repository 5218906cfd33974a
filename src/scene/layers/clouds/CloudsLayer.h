#pragma once

#include <memory>
#include <vector>

#include "foundation/KeyValueObserving.h"
#include "scene/BaseSceneLayer.h"
#include "scene/layers/clouds/Cloud.h"

namespace korvane {

// Any number of clouds over the map, in creation order. Every cloud the layer holds points back to
// it; observers of "clouds" hear every change of the list. Main thread only; the render worker
// appends the clouds of a copy.
class CloudsLayer final : public BaseSceneLayer, public KeyValueObservable {
public:
    using CloudList = std::vector<std::shared_ptr<Cloud>>;

    explicit CloudsLayer(Scene* scene = nullptr);  // initWithScene: no clouds
    // Clouds that outlive the layer are left with no layer.
    ~CloudsLayer() override;
    // A new layer with no scene holding copies of the clouds (Cloud::copy), which belong to the
    // copy: a render or a preview may read the copy while the clouds here are being edited.
    std::shared_ptr<BaseSceneLayer> copy() const override;

    // Layer table
    std::string name() const override { return "Clouds"; }
    std::string icon() const override { return "CloudsLayerIcon.png"; }
    std::string editLayerClassName() const override { return "EditCloudLayerViewController"; }
    int orderForFunctionsList() const override { return 16; }

    const CloudList& clouds() const { return clouds_; }
    // Stores a copy of the list (nulls left out), makes this layer the owner of every cloud in it,
    // and posts scene-did-change. Clouds no longer held lose their back-reference.
    void setClouds(const CloudList& clouds);
    // A new default cloud, added through addCloud.
    std::shared_ptr<Cloud> addNewCloud();
    // Makes this layer the cloud's owner, appends it and posts scene-did-change. Null is ignored.
    void addCloud(std::shared_ptr<Cloud> cloud);
    // Removes every occurrence of the cloud, clears its back-reference and posts scene-did-change;
    // a cloud the layer does not hold changes nothing.
    void removeCloud(const std::shared_ptr<Cloud>& cloud);

    // Each cloud in list order. Only ray-tracing renderers receive anything.
    void appendToRenderer(BaseRenderer& renderer) override;

    // Archive: the base keys and "clouds"; without "clouds" the layer stays empty.
    std::string archiveClassName() const override { return "CloudsLayer"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    // Replaces the list, adopting the new clouds and releasing the ones no longer held.
    void replaceClouds(CloudList clouds);

    CloudList clouds_;
};

}  // namespace korvane
