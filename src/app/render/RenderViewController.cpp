// Before any Qt header: the ray tracer's headers use the word emit, which Qt defines as a macro.
#include "renderer/YafarayRenderer.h"

#include "app/render/RenderViewController.h"

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QSoundEffect>
#include <QVBoxLayout>

#include "app/document/MainWindow.h"
#include "app/document/MyDocument.h"
#include "app/editor/EditViewController.h"
#include "app/render/RenderImageView.h"
#include "app/render/RenderImages.h"
#include "app/shell/AppResources.h"
#include "foundation/FileIO.h"
#include "foundation/ImageCodecs.h"
#include "renderer/RenderedImageFile.h"
#include "renderer/RendererImage.h"


namespace korvane {

namespace {

constexpr const char* kFullRenderSettingsKey = "fullRenderSettings";
constexpr int kFullDetailsMode = 0;
// The bar runs over 0…1; QProgressBar counts in whole steps.
constexpr int kProgressSteps = 1000;
constexpr const char* kPreparingText = "Preparing…";
// The points of the printed page per pixel of the render.
constexpr double kPointsPerPixel = 1.0;

// The save panel's "File Format:" pop-up: title and file suffix by tag.
struct SaveFormat {
    const char* title;
    const char* suffix;
};
constexpr SaveFormat kSaveFormats[] = {{"PNG", "png"}, {"JPEG", "jpg"}, {"TIFF", "tiff"}};

}  // namespace

RenderViewController::RenderViewController(MyDocument* document, QWidget* parent)
    : BaseViewController(document, parent) {
    buildInterface();
    buildToolbar();
    postProcessingOptionsWindow_ = new PostProcessingOptionsWindow(&document->scene(), this);
    postProcessingOptionsWindow_->setDelegate(this);
    renderImageView_->setBackgroundPattern(korvaneIcon(backgroundPatternName()).pixmap(64, 64));
    validateToolbarItems();
}

RenderViewController::~RenderViewController() { abortRendering(); }

std::string RenderViewController::preferenceKey() const { return kFullRenderSettingsKey; }

int RenderViewController::rendererDetailsMode() const { return kFullDetailsMode; }

const char* RenderViewController::backgroundPatternName() const { return "RenderViewBackground.png"; }

void RenderViewController::buildInterface() {
    // The progress area lies over the bottom of the image view, where the view leaves room for it.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    renderImageView_ = new RenderImageView;
    layout->addWidget(renderImageView_, 0, 0);

    progressView_ = new QWidget;
    progressView_->setObjectName(QStringLiteral("progressView"));
    auto* progressLayout = new QVBoxLayout(progressView_);
    progressLayout->setContentsMargins(16, 4, 16, 8);
    progressIndicator_ = new QProgressBar;
    progressIndicator_->setRange(0, kProgressSteps);
    progressIndicator_->setTextVisible(false);
    progressText_ = new QLabel;
    progressText_->setAlignment(Qt::AlignCenter);
    QPalette textPalette = progressText_->palette();
    textPalette.setColor(QPalette::WindowText, Qt::white);
    progressText_->setPalette(textPalette);
    progressLayout->addWidget(progressIndicator_);
    progressLayout->addWidget(progressText_);
    progressView_->hide();
    layout->addWidget(progressView_, 0, 0, Qt::AlignBottom);
}

QAction* RenderViewController::addToolbarAction(const char* identifier, const QString& label, const char* icon) {
    auto* action = new QAction(korvaneIcon(icon), label, this);
    action->setObjectName(QString::fromLatin1(identifier));
    toolbarItems_.append({QString::fromLatin1(identifier), ToolbarItem::Kind::Action, action});
    return action;
}

void RenderViewController::buildToolbar() {
    connect(addToolbarAction(kRenderSettingsItem, tr("Render Settings…"), "SettingsToolbarIcon"),
            &QAction::triggered, this, &RenderViewController::openRenderSettings);
    connect(addToolbarAction(kPostProcessingSettingsItem, tr("Post Processing…"), "PostProcessToolbarIcon"),
            &QAction::triggered, this, &RenderViewController::openPostProcessingSettings);
    toolbarItems_.append(ToolbarItem::space());
    toolbarItems_.append(ToolbarItem::space());
    connect(addToolbarAction(kSaveAsImageItem, tr("Save As Image"), "SaveAsPNGToolbarIcon"), &QAction::triggered,
            this, &RenderViewController::saveAsImage);
    connect(addToolbarAction(kPrintItem, tr("Print"), "PrintToolbarIcon"), &QAction::triggered, this,
            &RenderViewController::print);
    toolbarItems_.append(ToolbarItem::flexibleSpace());
    connect(addToolbarAction(kBackToEditItem, tr("Back to Edit…"), "EditToolbarIcon"), &QAction::triggered, this,
            &RenderViewController::switchToEditView);
}

QList<ToolbarItem> RenderViewController::defaultToolbarItems() { return toolbarItems_; }

void RenderViewController::validateToolbarItems() {
    // Save, print and post-processing need a finished render; the other items are always enabled.
    for (const char* identifier : {kSaveAsImageItem, kPrintItem, kPostProcessingSettingsItem}) {
        if (QAction* action = toolbarAction(QString::fromLatin1(identifier))) action->setEnabled(hasCompleteImage_);
    }
}

void RenderViewController::viewControllerWillShow() { progressText_->clear(); }

void RenderViewController::viewControllerDidShow() { startRendering(); }

void RenderViewController::viewControllerDidHide() { abortRendering(); }

void RenderViewController::abortRendering() {
    if (!renderer_) return;
    renderer_->abort();
    renderer_.reset();
    progressIndicator_->setRange(0, kProgressSteps);
}

void RenderViewController::startRendering() {
    abortRendering();
    progressIndicator_->setRange(0, 0);
    setProgressAreaVisible(true);
    progressText_->setText(QString::fromUtf8(kPreparingText));

    auto renderer = YafarayRenderer::create();
    renderer->setDetailsMode(rendererDetailsMode());
    renderer->configureFromSettingsDictionary(UserDefaults::standard().dictionaryForKey(preferenceKey()));
    const Size size = renderer->outputSize();
    if (size.width < 1 || size.height < 1 || size.width * size.height > double(kMaxImagePixels)) {
        // A damaged settings dictionary would render nothing, or more than memory holds.
        hasCompleteImage_ = false;
        renderImageView_->clearImage();
        rendererDidFail(*renderer, "the output size " + std::to_string(int64_t(size.width)) + " × " +
                                       std::to_string(int64_t(size.height)) +
                                       " cannot be rendered; choose another in the render settings");
        return;
    }
    renderer_ = renderer;
    renderer->renderScene(myDocument()->sharedScene(), this);
}

void RenderViewController::rendererDidStart(BaseRenderer&) {
    hasCompleteImage_ = false;
    setProgressAreaVisible(true);
    progressIndicator_->setRange(0, 0);
    renderImageView_->clearImage();
    validateToolbarItems();
    Q_EMIT stateChanged();
}

void RenderViewController::rendererDidUpdateImage(BaseRenderer&, RendererImage& image) {
    renderImageView_->setRendererImage(image);
}

void RenderViewController::rendererDidUpdateProgress(BaseRenderer&, float progress, const std::string& message) {
    setProgress(progress);
    progressText_->setText(QString::fromStdString(message));
}

void RenderViewController::rendererDidComplete(BaseRenderer&, RendererImage& image) {
    renderImageView_->setCompleteRendererImage(copyOfRendererImage(image));
    applyPostProcessEffect();
    setProgressAreaVisible(false);
    progressIndicator_->setRange(0, kProgressSteps);
    renderer_.reset();
    hasCompleteImage_ = true;
    playFinishedSound();
    if (QWidget* host = window(); host && host->isVisible()) QApplication::alert(host, 0);
    validateToolbarItems();
    Q_EMIT stateChanged();
    Q_EMIT renderCompleted();
}

void RenderViewController::rendererDidFail(BaseRenderer&, const std::string& message) {
    // The progress area stays, with the reason in place of the progress, so the view does not
    // look as if it were still rendering.
    renderer_.reset();
    setProgressAreaVisible(true);
    progressIndicator_->setRange(0, kProgressSteps);
    progressIndicator_->setValue(0);
    progressIndicator_->hide();
    const QString text = tr("The scene could not be rendered: %1").arg(QString::fromStdString(message));
    progressText_->setText(text);
    validateToolbarItems();
    Q_EMIT stateChanged();
    Q_EMIT renderFailed(text);
}

void RenderViewController::setProgress(double progress) {
    if (progress < 0) {
        progressIndicator_->setRange(0, 0);
        return;
    }
    progressIndicator_->setRange(0, kProgressSteps);
    progressIndicator_->setValue(int(std::lround(std::min(progress, 1.0) * kProgressSteps)));
}

void RenderViewController::setProgressAreaVisible(bool visible) {
    progressView_->setVisible(visible);
    progressIndicator_->setVisible(visible);
}

bool RenderViewController::isProgressVisible() const { return !progressView_->isHidden(); }

QString RenderViewController::progressText() const { return progressText_->text(); }

double RenderViewController::progressValue() const {
    if (progressIndicator_->maximum() == 0) return -1;
    return double(progressIndicator_->value() - progressIndicator_->minimum()) / kProgressSteps;
}

std::shared_ptr<RendererImage> RenderViewController::renderedImage() const {
    return hasCompleteImage_ ? renderImageView_->completeRendererImage() : nullptr;
}

void RenderViewController::applyPostProcessEffect() {
    const std::shared_ptr<RendererImage>& image = renderImageView_->completeRendererImage();
    if (!image) return;
    const bool wasHidden = progressView_->isHidden();
    setProgressAreaVisible(true);
    progressIndicator_->setRange(0, 0);
    progressText_->clear();
    applyPostProcessToRendererImage(myDocument()->scene(), *image, this);
    renderImageView_->redisplayImage();
    if (wasHidden) setProgressAreaVisible(false);
}

void RenderViewController::sceneDidUpdatePostProcessProgress(const Scene&, const std::string& status, float) {
    progressText_->setText(QString::fromStdString(status));
    progressText_->repaint();
}

void RenderViewController::playFinishedSound() {
    if (!finishedSound_) {
        finishedSound_ = new QSoundEffect(this);
        finishedSound_->setSource(finishedRenderSoundUrl());
    }
    finishedSound_->play();
}

bool RenderViewController::saveImageToFile(const QString& path, QString* error) {
    auto fail = [error](const QString& reason) {
        if (error) *error = reason;
        return false;
    };
    const std::shared_ptr<RendererImage> image = renderedImage();
    if (!image) return fail(tr("there is no finished render to save"));
    // The name decides the format, whatever the case of its ending.
    const RenderedImageFormat format =
        renderedImageFormatForFileName(QFileInfo(path).fileName().toLower().toStdString());
    const std::vector<uint8_t> bytes = encodeRenderedImage(image->modifiedImage(), format);
    if (bytes.empty()) return fail(tr("the image could not be encoded"));
    std::string reason;
    if (!writeFileAtomically(QFile::encodeName(path).toStdString(), bytes, &reason))
        return fail(QString::fromStdString(reason));
    return true;
}

void RenderViewController::saveAsImage() {
    if (!hasCompleteImage_ || currentImageSavePanel_) return;
    auto* panel = new QFileDialog(window(), tr("Save As Image"));
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    // The native dialogs cannot hold the format pop-up.
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setWindowModality(Qt::WindowModal);
    panel->setDefaultSuffix(QString::fromLatin1(kSaveFormats[0].suffix));
    panel->setNameFilter(QStringLiteral("PNG (*.png)"));
    panel->selectFile(myDocument()->displayName() + QStringLiteral(".png"));

    auto* formatPopUp = new QComboBox(panel);
    for (int tag = 0; tag < int(std::size(kSaveFormats)); ++tag)
        formatPopUp->addItem(QString::fromLatin1(kSaveFormats[tag].title), tag);
    if (auto* grid = qobject_cast<QGridLayout*>(panel->layout())) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(tr("File Format:"), panel), row, 0);
        grid->addWidget(formatPopUp, row, 1);
    }
    connect(formatPopUp, &QComboBox::currentIndexChanged, panel, [panel](int tag) {
        if (tag < 0) return;
        const QString suffix = QString::fromLatin1(kSaveFormats[tag].suffix);
        panel->setDefaultSuffix(suffix);
        panel->setNameFilter(QStringLiteral("%1 (*.%2)").arg(QString::fromLatin1(kSaveFormats[tag].title), suffix));
        if (auto* nameField = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            const QString name = nameField->text();
            const QString base = name.isEmpty() ? QString() : QFileInfo(name).completeBaseName();
            if (!base.isEmpty()) nameField->setText(base + QLatin1Char('.') + suffix);
        }
    });
    connect(panel, &QFileDialog::fileSelected, this, &RenderViewController::saveImageFromPanel);
    currentImageSavePanel_ = panel;
    currentImageSavePanelFormatPopUp_ = formatPopUp;
    panel->open();
}

void RenderViewController::saveImageFromPanel(const QString& path) {
    currentImageSavePanel_.clear();
    currentImageSavePanelFormatPopUp_.clear();
    QString error;
    if (saveImageToFile(path, &error)) return;
    QMessageBox::warning(window(), tr("The image could not be saved"),
                         tr("“%1” could not be saved: %2.").arg(QFileInfo(path).fileName(), error));
}

bool RenderViewController::printTo(QPrinter& printer) {
    const std::shared_ptr<RendererImage> image = renderedImage();
    if (!image) return false;
    const QImage render = qImageFromRenderBitmap(image->image());
    if (render.isNull()) return false;
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    // A pixel of the render is a point on paper; a render larger than the page is shrunk to fit it.
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = printer.resolution() / 72.0 * kPointsPerPixel;
    QSizeF size(render.width() * scale, render.height() * scale);
    if (size.width() > page.width() || size.height() > page.height())
        size.scale(page.size(), Qt::KeepAspectRatio);
    const QRectF target(QPointF((page.width() - size.width()) / 2.0, 0), size);
    painter.drawImage(target, render);
    return painter.end();
}

void RenderViewController::openRenderSettings() {
    if (renderSettingsSheet_) return;
    auto* sheet = new RenderSettingsSheet(preferenceKey(), this);
    sheet->setDelegate(this);
    renderSettingsSheet_ = sheet;
    sheet->openAsSheetModalForWindow(window());
}

void RenderViewController::renderSettingsChanged() {
    postProcessingOptionsWindow_->close();
    startRendering();
}

void RenderViewController::sheetWillClose(BaseSheet& sheet) {
    // Confirmed or cancelled, the sheet has done its work; the next opening makes a new one.
    sheet.deleteLater();
    renderSettingsSheet_.clear();
}

void RenderViewController::openPostProcessingSettings() { postProcessingOptionsWindow_->makeKeyAndOrderFront(); }

void RenderViewController::postProcessingOptionsWindowWantsToApplyEffects(PostProcessingOptionsWindow&) {
    applyPostProcessEffect();
}

void RenderViewController::print() {
    if (MainWindow* host = mainWindow()) host->printDocument();
}

void RenderViewController::switchToEditView() {
    postProcessingOptionsWindow_->close();
    if (MainWindow* host = mainWindow()) host->setCurrentViewController(host->editViewController());
}

}  // namespace korvane
