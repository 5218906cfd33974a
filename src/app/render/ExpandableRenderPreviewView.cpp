#include "app/render/ExpandableRenderPreviewView.h"

#include <QEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QToolButton>

#include "app/render/RenderPreviewWindow.h"

namespace korvane {

namespace {

constexpr int kButtonWidth = 24;
constexpr int kButtonHeight = 22;
// The button's right edge lies 4 points inside the view, its top edge 4 below the view's top.
constexpr int kButtonRightOffset = 28;
constexpr int kButtonTopOffset = 26;
constexpr int kFadeMs = 200;

}  // namespace

ExpandableRenderPreviewView::ExpandableRenderPreviewView(QWidget* parent) : RenderPreviewView(parent) {
    setMouseTracking(true);
}

ExpandableRenderPreviewView::~ExpandableRenderPreviewView() {
    // The panel is a child window and goes with the view; it must not report back to it.
    if (attachedPreviewWindow_) {
        attachedPreviewWindow_->detachFromHost();
        delete attachedPreviewWindow_.data();
    }
}

void ExpandableRenderPreviewView::setLayersToPreview(std::vector<std::shared_ptr<BaseSceneLayer>> layers) {
    if (attachedPreviewWindow_) attachedPreviewWindow_->renderPreviewView()->setLayersToPreview(layers);
    RenderPreviewView::setLayersToPreview(std::move(layers));
}

void ExpandableRenderPreviewView::setSceneToPreview(std::shared_ptr<Scene> scene) {
    if (attachedPreviewWindow_) attachedPreviewWindow_->renderPreviewView()->setSceneToPreview(scene);
    RenderPreviewView::setSceneToPreview(std::move(scene));
}

RenderPreviewWindow* ExpandableRenderPreviewView::attachedPreviewWindow() const { return attachedPreviewWindow_; }

void ExpandableRenderPreviewView::openPreviewWindow() {
    if (!attachedPreviewWindow_) {
        auto* panel = new RenderPreviewWindow(this);
        attachedPreviewWindow_ = panel;
        panel->renderPreviewView()->setLayersToPreview(layersToPreview());
        panel->renderPreviewView()->setSceneToPreview(sceneToPreview());
    }
    Q_EMIT willOpenPreviewWindow();
    attachedPreviewWindow_->show();
    attachedPreviewWindow_->raise();
    attachedPreviewWindow_->activateWindow();
}

void ExpandableRenderPreviewView::previewWindowWillClose() {
    Q_EMIT willClosePreviewWindow();
    attachedPreviewWindow_.clear();
}

void ExpandableRenderPreviewView::showExpandButton() {
    if (!expandButton_) {
        expandButton_ = new QToolButton(this);
        expandButton_->setText(QStringLiteral("+"));
        expandButton_->setToolTip(QStringLiteral("Open Live Preview Window"));
        expandButton_->setFixedSize(kButtonWidth, kButtonHeight);
        expandButton_->setGraphicsEffect(new QGraphicsOpacityEffect(expandButton_));
        static_cast<QGraphicsOpacityEffect*>(expandButton_->graphicsEffect())->setOpacity(0.0);
        connect(expandButton_, &QToolButton::clicked, this, &ExpandableRenderPreviewView::openPreviewWindow);
        placeExpandButton();
        expandButton_->show();
    }
    auto* effect = static_cast<QGraphicsOpacityEffect*>(expandButton_->graphicsEffect());
    if (fade_) fade_->stop();
    auto* fade = new QPropertyAnimation(effect, "opacity", expandButton_);
    fade->setDuration(kFadeMs);
    fade->setStartValue(effect->opacity());
    fade->setEndValue(1.0);
    fade_ = fade;
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void ExpandableRenderPreviewView::fadeOutExpandButton() {
    if (!expandButton_) return;
    auto* effect = static_cast<QGraphicsOpacityEffect*>(expandButton_->graphicsEffect());
    if (fade_) fade_->stop();
    auto* fade = new QPropertyAnimation(effect, "opacity", expandButton_);
    fade->setDuration(kFadeMs);
    fade->setStartValue(effect->opacity());
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, &ExpandableRenderPreviewView::removeExpandButton);
    fade_ = fade;
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void ExpandableRenderPreviewView::removeExpandButton() {
    if (!expandButton_) return;
    if (fade_) fade_->stop();
    expandButton_->hide();
    expandButton_->deleteLater();
    expandButton_ = nullptr;
}

void ExpandableRenderPreviewView::placeExpandButton() {
    if (expandButton_) expandButton_->move(width() - kButtonRightOffset, kButtonTopOffset - kButtonHeight);
}

void ExpandableRenderPreviewView::enterEvent(QEnterEvent* event) {
    RenderPreviewView::enterEvent(event);
    showExpandButton();
}

void ExpandableRenderPreviewView::leaveEvent(QEvent* event) {
    RenderPreviewView::leaveEvent(event);
    fadeOutExpandButton();
}

void ExpandableRenderPreviewView::hideEvent(QHideEvent* event) {
    RenderPreviewView::hideEvent(event);
    removeExpandButton();
}

void ExpandableRenderPreviewView::resizeEvent(QResizeEvent* event) {
    RenderPreviewView::resizeEvent(event);
    placeExpandButton();
}

}  // namespace korvane
