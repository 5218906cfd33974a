#pragma once

#include "app/editor/BaseEditLayerViewController.h"

class QSplitter;

namespace korvane {

// A layer editor with a main area (usually the map) and a side pane of controls after it. The
// side pane keeps its width when the window resizes and stays between 200 and 300 points wide
// when the divider is dragged. Main thread.
class BaseSplittedEditLayerViewController : public BaseEditLayerViewController {
    Q_OBJECT
public:
    static constexpr int kMinimumSidePaneWidth = 200;
    static constexpr int kMaximumSidePaneWidth = 300;

    BaseSplittedEditLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document,
                                        QWidget* parent = nullptr);

    QSplitter* splitView() const { return splitView_; }
    // Puts the main view and the side pane into the split view (each owned by it afterwards).
    void setPanes(QWidget* mainView, QWidget* sidePane);

private:
    QSplitter* splitView_;
};

}  // namespace korvane
