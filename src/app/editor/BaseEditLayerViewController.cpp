#include "app/editor/BaseEditLayerViewController.h"

#include "app/document/MyDocument.h"

namespace korvane {

BaseEditLayerViewController::BaseEditLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                                         QWidget* parent)
    : QWidget(parent), layer_(std::move(layer)), document_(document) {}

Scene& BaseEditLayerViewController::scene() const { return document_->scene(); }

}  // namespace korvane
