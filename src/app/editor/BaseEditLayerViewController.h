#pragma once

#include <memory>

#include <QWidget>

namespace korvane {

class BaseSceneLayer;
class MyDocument;
class Scene;

// The base of every layer editor: the edited layer and the document, and the show/hide hooks in
// which editors start and stop their observations. The editor frame creates one through the
// layer's editLayerClassName and shows its view in the editor area. Main thread.
class BaseEditLayerViewController : public QWidget {
    Q_OBJECT
public:
    // Neither is owned; both outlive the editor.
    BaseEditLayerViewController(std::shared_ptr<BaseSceneLayer> layer, MyDocument* document, QWidget* parent = nullptr);

    BaseSceneLayer* layer() const { return layer_.get(); }
    const std::shared_ptr<BaseSceneLayer>& sharedLayer() const { return layer_; }
    MyDocument* document() const { return document_; }
    Scene& scene() const;

    virtual void viewControllerWillShow() {}
    virtual void viewControllerDidShow() {}
    virtual void viewControllerWillHide() {}
    virtual void viewControllerDidHide() {}

private:
    std::shared_ptr<BaseSceneLayer> layer_;
    MyDocument* document_;
};

}  // namespace korvane
