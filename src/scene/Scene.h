#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Color.h"
#include "foundation/Geometry.h"
#include "foundation/KeyValueObserving.h"
#include "foundation/UndoManager.h"
#include "foundation/archive/Archivable.h"
#include "scene/BaseSceneLayer.h"

namespace korvane {

// The root of the model, one per document: the ordered layer stack, the scene's extent on the
// ground, the height scale of the heightmap, the ground skirt, the document's undo manager and the
// post-processing settings applied to rendered images. Main thread only; a render worker reads it.
class Scene final : public Archivable, public KeyValueObservable {
public:
    using LayerList = std::vector<std::shared_ptr<BaseSceneLayer>>;

    Scene();  // every default; no layers, no undo manager
    // Layers that outlive the scene (held by a caller or an undo step) are left with no scene.
    ~Scene() override;

    // The layer stack, in insertion order.
    const LayerList& layers() const { return layers_; }
    // Appends a layer (announcing the change of "layers"), registers its removal as the undo and
    // posts the scene-did-change notification.
    void addLayer(std::shared_ptr<BaseSceneLayer> layer);
    // Removes every occurrence of the layer; its undo appends it again at the end of the stack.
    void removeLayer(const std::shared_ptr<BaseSceneLayer>& layer);
    // The layers that are a T or a subclass of T, in stack order.
    template <class T>
    std::vector<std::shared_ptr<T>> layersOfClass() const {
        std::vector<std::shared_ptr<T>> matching;
        for (const auto& layer : layers_) {
            if (auto typed = std::dynamic_pointer_cast<T>(layer)) matching.push_back(std::move(typed));
        }
        return matching;
    }

    // The ranges of the values a document may hold; reading one clamps what lies outside and
    // reports it (SceneArchive.cpp). The editors and the command line offer the same ranges.
    static constexpr double kMinimumSide = 0.1;
    static constexpr double kMaximumSide = 100.0;
    static constexpr double kMinimumMaxTerrainHeight = 0.01;
    static constexpr double kMaximumMaxTerrainHeight = 10000.0;

    Size size() const { return size_; }
    // A new size is stored, every layer is told in stack order, the undo stack is cleared (the maps
    // have been re-cut) and the scene-did-change notification is posted. The current size: nothing.
    void setSize(Size size);
    float maxTerrainHeight() const { return maxTerrainHeight_; }
    void setMaxTerrainHeight(float height);  // posts scene-did-change; no undo
    float sizeOverflow() const { return sizeOverflow_; }
    void setSizeOverflow(float overflow) { sizeOverflow_ = overflow; }

    UndoManager* undoManager() const { return undoManager_.get(); }
    void setUndoManager(std::shared_ptr<UndoManager> undoManager) { undoManager_ = std::move(undoManager); }

    // The highest of terrain and (optionally) active water at a ground point, never below 0.
    // `didHitWater`, when given, says whether water at or above the terrain was met; it is only
    // written when a terrain or an active water layer is visited.
    float highestTerrainElevationAtScenePoint(Point groundPoint, bool includingWater = false,
                                              bool* didHitWater = nullptr) const;

    void postSceneDidChangeNotification() const;
    // Posts scene-did-change, then registers `undoAction` on `undoTarget` with the undo manager
    // (nothing is registered when the target is null): how a layer commits an edit with its undo.
    void postSceneDidChangeNotification(const void* undoTarget, UndoManager::Action undoAction);
    void postScenePostProcessDidChangeNotification() const;

    // Post-processing settings; each setter posts only the post-process notification.
    bool farDepthOfField() const { return farDepthOfField_; }
    void setFarDepthOfField(bool v) { setPostProcess(farDepthOfField_, v); }
    float farDepthOfFieldStart() const { return farDepthOfFieldStart_; }
    void setFarDepthOfFieldStart(float v) { setPostProcess(farDepthOfFieldStart_, v); }
    float farDepthOfFieldBias() const { return farDepthOfFieldBias_; }
    void setFarDepthOfFieldBias(float v) { setPostProcess(farDepthOfFieldBias_, v); }
    float farDepthOfFieldMaximumStrength() const { return farDepthOfFieldMaximumStrength_; }
    void setFarDepthOfFieldMaximumStrength(float v) { setPostProcess(farDepthOfFieldMaximumStrength_, v); }
    bool nearDepthOfField() const { return nearDepthOfField_; }
    void setNearDepthOfField(bool v) { setPostProcess(nearDepthOfField_, v); }
    float nearDepthOfFieldEnd() const { return nearDepthOfFieldEnd_; }
    void setNearDepthOfFieldEnd(float v) { setPostProcess(nearDepthOfFieldEnd_, v); }
    float nearDepthOfFieldBias() const { return nearDepthOfFieldBias_; }
    void setNearDepthOfFieldBias(float v) { setPostProcess(nearDepthOfFieldBias_, v); }
    float nearDepthOfFieldMaximumStrength() const { return nearDepthOfFieldMaximumStrength_; }
    void setNearDepthOfFieldMaximumStrength(float v) { setPostProcess(nearDepthOfFieldMaximumStrength_, v); }
    bool bloomFilter() const { return bloomFilter_; }
    void setBloomFilter(bool v) { setPostProcess(bloomFilter_, v); }
    float bloomRadius() const { return bloomRadius_; }
    void setBloomRadius(float v) { setPostProcess(bloomRadius_, v); }
    float bloomIntensity() const { return bloomIntensity_; }
    void setBloomIntensity(float v) { setPostProcess(bloomIntensity_, v); }
    bool depthTint() const { return depthTint_; }
    void setDepthTint(bool v) { setPostProcess(depthTint_, v); }
    float depthTintStart() const { return depthTintStart_; }
    void setDepthTintStart(float v) { setPostProcess(depthTintStart_, v); }
    float depthTintBias() const { return depthTintBias_; }
    void setDepthTintBias(float v) { setPostProcess(depthTintBias_, v); }
    float depthTintOpacity() const { return depthTintOpacity_; }
    void setDepthTintOpacity(float v) { setPostProcess(depthTintOpacity_, v); }
    Color depthTintColor() const { return depthTintColor_; }
    void setDepthTintColor(const Color& v) { setPostProcess(depthTintColor_, v); }
    bool vibranceFilter() const { return vibranceFilter_; }
    void setVibranceFilter(bool v) { setPostProcess(vibranceFilter_, v); }
    float vibranceStrength() const { return vibranceStrength_; }
    void setVibranceStrength(float v) { setPostProcess(vibranceStrength_, v); }

    // Archive.
    std::string archiveClassName() const override { return "Scene"; }
    void encode(KeyedArchiver& coder) const override;
    void decode(KeyedUnarchiver& coder) override;

private:
    // Reading helpers: a value outside low…high is clamped (not a number gives low) and reported.
    static float checkedValue(KeyedUnarchiver& coder, const char* what, float value, double low, double high);
    void decodeCheckedSize(KeyedUnarchiver& coder);

    template <class T>
    void setPostProcess(T& field, const T& value) {
        field = value;
        postScenePostProcessDidChangeNotification();
    }
    void registerUndo(std::function<void()> action);

    LayerList layers_;
    Size size_{10.0, 10.0};
    float maxTerrainHeight_ = 4.0f;
    float sizeOverflow_ = 200.0f;
    std::shared_ptr<UndoManager> undoManager_;

    bool farDepthOfField_ = false;
    float farDepthOfFieldStart_ = 2.5f;
    float farDepthOfFieldBias_ = 1.0f;
    float farDepthOfFieldMaximumStrength_ = 24.0f;
    bool nearDepthOfField_ = false;
    float nearDepthOfFieldEnd_ = 3.5f;
    float nearDepthOfFieldBias_ = 1.5f;
    float nearDepthOfFieldMaximumStrength_ = 12.0f;
    bool bloomFilter_ = false;
    float bloomRadius_ = 8.0f;
    float bloomIntensity_ = 0.4f;
    bool depthTint_ = false;
    float depthTintStart_ = 6.0f;
    float depthTintBias_ = 0.3f;
    float depthTintOpacity_ = 0.15f;
    Color depthTintColor_ = Color::calibratedRGB(0.5, 0.7, 0.8, 1.0);
    bool vibranceFilter_ = false;
    float vibranceStrength_ = 0.5f;
};

}  // namespace korvane
