#include "app/editor/BaseSplittedEditLayerViewController.h"

#include <QSplitter>
#include <QVBoxLayout>

namespace korvane {

BaseSplittedEditLayerViewController::BaseSplittedEditLayerViewController(std::shared_ptr<BaseSceneLayer> layer,
                                                                         MyDocument* document, QWidget* parent)
    : BaseEditLayerViewController(std::move(layer), document, parent), splitView_(new QSplitter(Qt::Horizontal)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitView_);
    splitView_->setChildrenCollapsible(false);
}

void BaseSplittedEditLayerViewController::setPanes(QWidget* mainView, QWidget* sidePane) {
    splitView_->addWidget(mainView);
    splitView_->addWidget(sidePane);
    // The side pane's width limits hold the divider between width − 300 and width − 200.
    sidePane->setMinimumWidth(kMinimumSidePaneWidth);
    sidePane->setMaximumWidth(kMaximumSidePaneWidth);
    // Window resizes go to the main view only.
    splitView_->setStretchFactor(0, 1);
    splitView_->setStretchFactor(1, 0);
}

}  // namespace korvane
