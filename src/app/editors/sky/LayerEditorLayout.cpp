#include "app/editors/sky/LayerEditorLayout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/render/RenderPreviewView.h"

namespace korvane {

namespace {
constexpr int kMargin = 12;
constexpr int kMaximumControlsWidth = 460;

QLabel* titleLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setStyleSheet(QStringLiteral("font-weight: 600;"));
    return label;
}
}  // namespace

void layOutLayerEditor(QWidget* editor, const QString& title, QLayout* controls, RenderPreviewView* preview) {
    auto* row = new QHBoxLayout(editor);
    row->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    row->setSpacing(kMargin * 2);

    // The controls scroll when the editor area is low.
    auto* controlsPage = new QWidget;
    auto* controlsColumn = new QVBoxLayout(controlsPage);
    controlsColumn->setContentsMargins(0, 0, 0, 0);
    controlsColumn->addWidget(titleLabel(title));
    controlsColumn->addLayout(controls);
    controlsColumn->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setWidget(controlsPage);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMaximumWidth(kMaximumControlsWidth);
    row->addWidget(scroll, 1);

    auto* previewColumn = new QVBoxLayout;
    previewColumn->addWidget(titleLabel(QStringLiteral("Preview")));
    preview->setFixedSize(kLayerPreviewWidth, kLayerPreviewHeight);
    preview->setDrawGrayBackground(true);
    previewColumn->addWidget(preview);
    previewColumn->addStretch(1);
    row->addLayout(previewColumn);
    row->addStretch(0);
}

}  // namespace korvane
