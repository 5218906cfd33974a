#include "app/render/RenderPreviewWindow.h"

#include <QCloseEvent>
#include <QScreen>
#include <QVBoxLayout>

#include "app/render/ExpandableRenderPreviewView.h"

namespace korvane {

namespace {

constexpr int kLivePreviewSizeMode = 1;

}  // namespace

RenderPreviewWindow::RenderPreviewWindow(ExpandableRenderPreviewView* host)
    : QWidget(host, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), host_(host) {
    setWindowTitle(QStringLiteral("Live Preview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    renderPreviewView_ = new RenderPreviewView;
    renderPreviewView_->setStartDelay(kStartDelay);
    renderPreviewView_->setSizeMode(kLivePreviewSizeMode);
    layout->addWidget(renderPreviewView_);
    setMaximumSize(kMaximumWidth, kMaximumHeight);
    resize(kInitialWidth, kInitialHeight);
    if (QScreen* screen = host ? host->screen() : nullptr) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

RenderPreviewWindow::~RenderPreviewWindow() = default;

void RenderPreviewWindow::closeEvent(QCloseEvent* event) {
    renderPreviewView_->abortRenderingAndHideProgressIndicator();
    if (host_) host_->previewWindowWillClose();
    host_ = nullptr;
    QWidget::closeEvent(event);
    deleteLater();
}

}  // namespace korvane
