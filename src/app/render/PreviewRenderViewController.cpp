#include "app/render/PreviewRenderViewController.h"

#include <QAction>

#include "app/document/MainWindow.h"
#include "app/render/RenderImageView.h"
#include "app/shell/AppResources.h"

namespace korvane {

namespace {

constexpr const char* kPreviewRenderSettingsKey = "previewRenderSettings";
constexpr int kPreviewDetailsMode = 2;

}  // namespace

PreviewRenderViewController::PreviewRenderViewController(MyDocument* document, QWidget* parent)
    : RenderViewController(document, parent) {
    // "Full Render" goes before the last item ("Back to Edit…").
    auto* action = new QAction(korvaneIcon("RenderToolbarIcon.png"), tr("Full Render"), this);
    action->setObjectName(QString::fromLatin1(kStartRenderItem));
    connect(action, &QAction::triggered, this, &PreviewRenderViewController::switchToRenderView);
    toolbarItems_.insert(toolbarItems_.size() - 1,
                         {QString::fromLatin1(kStartRenderItem), ToolbarItem::Kind::Action, action});
    renderImageView()->setBackgroundPattern(korvaneIcon(backgroundPatternName()).pixmap(64, 64));
}

std::string PreviewRenderViewController::preferenceKey() const { return kPreviewRenderSettingsKey; }

int PreviewRenderViewController::rendererDetailsMode() const { return kPreviewDetailsMode; }

const char* PreviewRenderViewController::backgroundPatternName() const { return "PreviewRenderViewBackground.png"; }

void PreviewRenderViewController::switchToRenderView() {
    postProcessingOptionsWindow()->close();
    if (MainWindow* host = mainWindow()) host->setCurrentViewController(host->renderViewController());
}

}  // namespace korvane
