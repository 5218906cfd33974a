#include "app/sheets/material/MaterialSheetPreview.h"

#include "app/render/RenderPreviewView.h"
#include "scene/Scene.h"
#include "scene/layers/camera/CameraLayer.h"
#include "scene/layers/preview/MaterialPreviewLayer.h"
#include "scene/materials/BaseMaterial.h"

namespace korvane {

void showMaterialPreview(RenderPreviewView& view, std::shared_ptr<BaseMaterial> material, float eyeHeight,
                         Scene& scene) {
    view.abortRendering();
    auto camera = std::make_shared<CameraLayer>();
    camera->setToPoint({0.5, 9.5});
    camera->setFromPoint({-0.5, 8.5});
    camera->setToPointHeight(0.0f);
    camera->setFromPointHeight(eyeHeight);
    auto preview = std::make_shared<MaterialPreviewLayer>();
    preview->setMaterial(std::move(material));
    view.setLayersToPreview({preview, camera});
    scene.postSceneDidChangeNotification();
}

}  // namespace korvane
