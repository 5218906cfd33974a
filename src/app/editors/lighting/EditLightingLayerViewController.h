#pragma once

#include <memory>
#include <optional>

#include <QPointer>

#include "app/editor/BaseSplittedEditLayerViewController.h"
#include "app/sheets/BaseSheet.h"
#include "foundation/KeyValueObserving.h"

class QListWidget;
class QPushButton;
class QToolButton;

namespace korvane {

class BaseLight;
class BaseEditLightSheet;
class EditLightingLayerSceneView;
class LightingLayer;

// The lighting editor: the map with a handle per light, and at the side the list of lights with
// "Add Light" (a directional or a point light), "Remove" (never the sun: the button is disabled
// while it is selected) and "Edit…", which opens the light's sheet. Grabbing a handle on the map
// selects its light in the list. Main thread.
class EditLightingLayerViewController final : public BaseSplittedEditLayerViewController,
                                              public BaseSheetDelegate {
    Q_OBJECT
public:
    // The tags of the "Add Light" menu's items.
    static constexpr int kAddDirectionalLightTag = 0;
    static constexpr int kAddPointLightTag = 1;

    EditLightingLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                    QWidget* parent = nullptr);
    ~EditLightingLayerViewController() override;

    EditLightingLayerSceneView* sceneView() const { return sceneView_; }
    QListWidget* lightsList() const { return list_; }
    QToolButton* addButton() const { return addButton_; }
    QPushButton* removeButton() const { return removeButton_; }
    QPushButton* editButton() const { return editButton_; }

    // Adds a new light of the kind a tag of the "Add Light" menu names and selects it.
    void addLight(int tag);
    // Removes the selected light unless it cannot be deleted.
    void removeSelectedLight();
    // Opens the sheet of the selected light; null when nothing is selected or the light has no sheet.
    BaseEditLightSheet* editSelectedLight();
    std::shared_ptr<BaseLight> selectedLight() const;

    void viewControllerWillShow() override;
    void viewControllerDidHide() override;
    // A light's name may have changed in its sheet.
    void sheetWillClose(BaseSheet& sheet) override;

private:
    LightingLayer& lightingLayer() const;
    void startObservingLights();
    void stopObservingLights();
    // Fills the list from the layer, keeping the selected light selected where it is still there.
    void reloadList();
    void validateButtons();

    EditLightingLayerSceneView* sceneView_;
    QListWidget* list_ = nullptr;
    QToolButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* editButton_ = nullptr;
    std::optional<KeyValueObservable::Token> lightsObservation_;
    QPointer<BaseEditLightSheet> openSheet_;
};

}  // namespace korvane
