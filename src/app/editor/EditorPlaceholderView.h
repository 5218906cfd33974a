#pragma once

#include "app/editor/BaseEditLayerViewController.h"

namespace korvane {

// What the editor area shows for a layer whose editor does not exist in this version: the layer's
// icon and name and a quiet line saying so. Main thread.
class EditorPlaceholderView final : public BaseEditLayerViewController {
    Q_OBJECT
public:
    EditorPlaceholderView(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document, QWidget* parent = nullptr);
    // The text naming the layer, for the tests.
    QString message() const { return message_; }

private:
    QString message_;
};

}  // namespace korvane
