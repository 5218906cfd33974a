#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "app/sheets/BaseSheet.h"

namespace korvane {

class BaseSceneLayer;
class BoundControls;
class Cloud;
class RenderPreviewView;
class Scene;

// "Edit Cloud": the look of one cloud — density, cover, edge sharpness, the height band, the edge
// treatment and the noise that shapes it — edited live, with a preview of the cloud alone over a
// small landscape. OK keeps the values; Cancel puts back the ones the sheet opened with. The sheet
// deletes itself once closed. Main thread.
class EditCloudSheet final : public BaseSheet {
    Q_OBJECT
public:
    // initWithCloud:andScene: the cloud is shared with its layer; the scene (the document's, which
    // hears every change) must outlive the sheet.
    EditCloudSheet(std::shared_ptr<Cloud> cloud, Scene& scene, QWidget* parent = nullptr);
    ~EditCloudSheet() override;

    QString title() const override;

    // The preview's quality: more light samples and a finer volume step than the other previews,
    // since a cloud is all volume.
    static constexpr int kPreviewLightSamples = 10;
    static constexpr float kPreviewVolumeAccuracy = 0.3f;

    RenderPreviewView* previewView() const { return previewView_; }
    BoundControls* controls() const { return controls_; }

    // The layers the preview shows, in order: a clouds layer holding a copy of the cloud, a camera
    // aimed at the middle of the cloud, a terrain and its materials.
    std::vector<std::shared_ptr<BaseSceneLayer>> layersToPreview() const;
    // After a change: aborts the running preview, hands the preview the cloud again and tells the
    // document's scene that it changed.
    void valueChanged();

    void ok();
    void cancel();

protected:
    void buildInterface() override;
    void sheetDidAppear() override;
    void reject() override;

private:
    // The values the sheet opened with, put back by Cancel.
    struct Values {
        float density, cover, sharpness, heightAboveGround, height;
        int edgeMode;
        float noiseSize;
        int noiseDepth;
    };
    Values currentValues() const;
    void restore(const Values& values);
    void previewCloud();

    std::shared_ptr<Cloud> cloud_;
    Scene& scene_;
    Values initialValues_;
    BoundControls* controls_ = nullptr;
    RenderPreviewView* previewView_ = nullptr;
    bool closed_ = false;
};

// Opens the sheet on the cloud window-modally over `window` and returns it (it deletes itself once
// closed).
BaseSheet* openCloudSheet(std::shared_ptr<Cloud> cloud, Scene& scene, QWidget* window);

}  // namespace korvane
