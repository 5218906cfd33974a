#pragma once

#include <memory>
#include <string>

#include <QPointer>
#include <QString>

#include "app/document/BaseViewController.h"
#include "app/render/PostProcessingOptionsWindow.h"
#include "app/render/RenderSettingsSheet.h"
#include "renderer/ScenePostProcess.h"
#include "scene/BaseRenderer.h"

class QAction;
class QComboBox;
class QFileDialog;
class QLabel;
class QProgressBar;
class QSoundEffect;

namespace korvane {

class RenderImageView;
class RendererImage;
class YafarayRenderer;

// The full render view of a document window: renders the document's scene with the settings stored
// under preferenceKey() each time it is shown, shows the image while it fills and the progress under
// it, post-processes the finished image, and saves or prints it. Hiding the view aborts the render.
// Main thread.
class RenderViewController : public BaseViewController,
                             public RendererDelegate,
                             public ScenePostProcessProgressDelegate,
                             public RenderSettingsSheetDelegate,
                             public PostProcessingOptionsWindowDelegate {
    Q_OBJECT
public:
    // Toolbar item identifiers.
    static constexpr const char* kRenderSettingsItem = "RenderSettings";
    static constexpr const char* kPostProcessingSettingsItem = "PostProcessingSettings";
    static constexpr const char* kSaveAsImageItem = "SaveAsImage";
    static constexpr const char* kPrintItem = "Print";
    static constexpr const char* kBackToEditItem = "BackToEdit";

    // document is not owned and outlives the controller.
    explicit RenderViewController(MyDocument* document, QWidget* parent = nullptr);
    ~RenderViewController() override;

    // The user-defaults key of the render settings ("fullRenderSettings").
    virtual std::string preferenceKey() const;
    // The renderer's details mode (0, full detail).
    virtual int rendererDetailsMode() const;

    // BaseViewController
    void viewControllerWillShow() override;  // clears the progress text
    void viewControllerDidShow() override;   // starts rendering
    void viewControllerDidHide() override;   // aborts the render
    QList<ToolbarItem> defaultToolbarItems() override;
    void validateToolbarItems() override;
    bool canBePrinted() const override { return hasCompleteImage_; }
    // The render as delivered (without post-processing), fitted to the page.
    bool printTo(QPrinter& printer) override;

    // Aborts the previous render and starts a new one of the document's scene from scratch.
    void startRendering();
    // Aborts the render in progress, if any.
    void abortRendering();
    bool isRendering() const { return renderer_ != nullptr; }
    // A finished render is shown (false from every start until the completion).
    bool hasCompleteImage() const { return hasCompleteImage_; }
    // The finished render, post-processed (null before completion).
    std::shared_ptr<RendererImage> renderedImage() const;

    // Applies the scene's post-processing to the finished render again and redisplays it.
    void applyPostProcessEffect();
    // Writes the post-processed render to path, in the format its name ends in ("jpg"/"jpeg":
    // JPEG, "tif"/"tiff": TIFF, otherwise PNG), atomically. False with the reason in error.
    bool saveImageToFile(const QString& path, QString* error);

    // Toolbar actions.
    void openRenderSettings();
    void openPostProcessingSettings();
    // Asks for a file (with a "File Format:" pop-up) and saves; a failure is shown to the user.
    void saveAsImage();
    // Asks the window to print (its print dialog, then printTo).
    void print();
    // Closes the post-processing window and shows the editor.
    void switchToEditView();

    // RenderSettingsSheetDelegate: closes the post-processing window and renders again.
    void renderSettingsChanged() override;
    // BaseSheetDelegate: the closed sheet is dropped.
    void sheetWillClose(BaseSheet& sheet) override;
    // PostProcessingOptionsWindowDelegate
    void postProcessingOptionsWindowWantsToApplyEffects(PostProcessingOptionsWindow& window) override;

    // The parts of the view, for the window and the tests.
    RenderImageView* renderImageView() const { return renderImageView_; }
    PostProcessingOptionsWindow* postProcessingOptionsWindow() const { return postProcessingOptionsWindow_; }
    RenderSettingsSheet* renderSettingsSheet() const { return renderSettingsSheet_; }
    bool isProgressVisible() const;
    QString progressText() const;
    // The bar's value in 0…1, or −1 while it is indeterminate.
    double progressValue() const;

signals:
    // The render finished and its post-processed image is shown.
    void renderCompleted();
    // The render failed; the message is shown in the progress area.
    void renderFailed(const QString& message);

protected:
    // The actions of the toolbar, in order; the preview flavour adds its own.
    QList<ToolbarItem> toolbarItems_;
    // Background pattern of the image view (an icon name; none drawn when the icon set lacks it).
    virtual const char* backgroundPatternName() const;

private:
    // RendererDelegate
    void rendererDidStart(BaseRenderer& renderer) override;
    void rendererDidUpdateImage(BaseRenderer& renderer, RendererImage& image) override;
    void rendererDidUpdateProgress(BaseRenderer& renderer, float progress, const std::string& message) override;
    void rendererDidComplete(BaseRenderer& renderer, RendererImage& image) override;
    void rendererDidFail(BaseRenderer& renderer, const std::string& message) override;
    // ScenePostProcessProgressDelegate
    void sceneDidStartPostProcess(const Scene&) override {}
    void sceneDidUpdatePostProcessProgress(const Scene& scene, const std::string& status,
                                           float totalProgress) override;
    void sceneDidEndPostProcess(const Scene&) override {}

    void buildInterface();
    void buildToolbar();
    QAction* addToolbarAction(const char* identifier, const QString& label, const char* icon);
    void setProgress(double progress);
    void setProgressAreaVisible(bool visible);
    void playFinishedSound();
    void saveImageFromPanel(const QString& path);

    RenderImageView* renderImageView_ = nullptr;
    std::shared_ptr<YafarayRenderer> renderer_;
    QWidget* progressView_ = nullptr;
    QProgressBar* progressIndicator_ = nullptr;
    QLabel* progressText_ = nullptr;
    bool hasCompleteImage_ = false;
    QPointer<QFileDialog> currentImageSavePanel_;
    QPointer<QComboBox> currentImageSavePanelFormatPopUp_;
    PostProcessingOptionsWindow* postProcessingOptionsWindow_ = nullptr;
    QPointer<RenderSettingsSheet> renderSettingsSheet_;
    QSoundEffect* finishedSound_ = nullptr;
};

}  // namespace korvane
