// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's controller: it owns the picture being edited (the
// source's path, name and size, the logo), the render flags and the edit
// history, reads the panel into a settings snapshot for every render pass
// and puts settings back into the panel. Its methods are spread over a few
// files by concern: panel construction, handlers, export controls, the
// render pass, files and the history.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QSizeF>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "editor/Dialogs.h"
#include "editor/Outlet.h"
#include "editor/RenderScheduler.h"
#include "editor/SaveCommand.h"
#include "editor/widgets/ColorWell.h"
#include "editor/widgets/FloatSlider.h"
#include "editor/widgets/Stepper.h"
#include "files/Export.h"
#include "files/RenderJob.h"
#include "render/Image.h"
#include "settings/EditSettings.h"
#include "settings/SettingsFields.h"
#include "viewport/ViewportMath.h"

class QCheckBox;
class QComboBox;
class QEventLoop;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace lumetra {

class CustomImageView;

class ViewController : public QWidget, protected OutletHost {
    Q_OBJECT
  public:
    // The controller asks the user through `dialogs` (the Qt dialogs when
    // none is given). It builds the panel; viewDidLoad() then sets it up.
    explicit ViewController(std::shared_ptr<Dialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~ViewController() override;

    // Controller fields.
    QStringList stateImagesPath;  // recorded settings texts, oldest first
    qint64 numberOfStates = 50;   // bound of the history
    qint64 currenState = -1;      // index of the current settings text
    bool needToSaveState = true;  // false: the next recording is skipped
    QString originalImagePath;
    QString originalImageName;
    QSizeF originalImageSize{0, 0};
    Image logo;  // the logo watermark's picture
    // A render pass is running; a request arrived during it (one more pass
    // is owed).
    bool updating() const { return scheduler_.updating(); }
    bool selectionChanged() const { return scheduler_.selectionChanged(); }
    // A reduced copy of the open photo renders a preview before each pass.
    bool HasPreviewCopy() const { return scheduler_.previewSource().ok(); }
    // Whether photos opened from now on get a reduced copy for previews (on
    // by default; off, every request renders the full pass only, as
    // benchmarks compare).
    void setLivePreview(bool on) { livePreview_ = on; }

    // The whole panel as a settings value, and back. Applying sets every
    // control without running any handler.
    EditSettings CurrentSettings() const;
    void ApplySettings(const EditSettings& settings);

    // The control that holds a field.
    QWidget* Control(const FieldSpec& field) const { return outlets_.Find(field.name); }

    // Replaces the work of a render pass (tests use it to hold a pass back
    // or to count passes). The default reads the file and runs the pipeline.
    using RenderFunction = RenderInputs::RenderFunction;
    void setRenderFunction(RenderFunction function) { renderFunction_ = std::move(function); }

    // Replaces the encoding and writing of a save, which runs on a thread of
    // its own (tests use it to hold a save back). The default is
    // ImageTools::SaveImage.
    using SaveFunction = lumetra::SaveFunction;
    void setSaveFunction(SaveFunction function) { saveFunction_ = std::move(function); }
    // True while a save is being encoded and written.
    bool isSaving() const { return saveCommand_.running(); }

    // A single-precision number for a matrix cell: "0" strictly between
    // -0.001 and 0.001, otherwise two decimals.
    static QString FloatToFormattedString(float value);

    // Where the help pages live and which one each command opens.
    static QUrl HelpPageUrl(const QString& page);

    Dialogs& dialogs() const { return *dialogs_; }

    // The engine keeps the large frames of a pass for the next one while
    // the user is working; this long after the last pass (30 s unless a
    // test shortens it) it gives them back to the system.
    void setIdleReleaseDelay(int milliseconds) { idleRelease_.setInterval(milliseconds); }

  signals:
    // A render pass has been handed to the worker.
    void renderPassStarted();
    // A render pass has come back and its completion step has run.
    void renderPassFinished();
    // A preview of the latest request is on screen (the full pass follows).
    void previewShown();
    // Another photo was opened, or the editor was cleared (New).
    void pictureChanged();
    // A look's thumbnail for the photo now open.
    void lookThumbnailReady(const QString& name, const QImage& picture);
    // Something the status bar should tell the user.
    void statusMessage(const QString& message);
    // The history changed: Undo and Redo may have become possible or not.
    void historyChanged();
    // Saving became possible (a picture was opened) or impossible (New).
    void saveAvailabilityChanged(bool available);

  public slots:
    // Start-up and the whole panel.
    void viewDidLoad();
    void ResetInterface();

    // Window and application commands.
    bool windowShouldClose();
    void OnAppQuit();
    void OnFileNew();
    void OnHowToRotateImages();
    void OnHowToAddArtisticEffectsToImages();

    // The render pass.
    void UpdateImageEffect();
    void UpdateImageSize();
    QString GetTextFontType() const;

    // Files.
    void OnSelectImage();
    void OnSelectLogo();
    void LoadOriginalImage(const QString& path);
    void DragPerformed(const QVariantMap& userInfo);

    // Zoom and pan of the preview.
    void OnZoomIn();
    void OnZoomOut();
    void OnResetZoom();
    void ResetZoom();
    void RepositionImageInVisibleArea();
    // A drag of the pointer by `delta` (y downward) at a point of the window.
    void mouseDragged(const QPointF& windowPosition, const QPointF& delta);

    // Shows the unedited photo instead of the result while `show` is true
    // (the Compare button held, or the backslash key); nothing is recorded
    // and nothing renders.
    void Compare(bool show);

    // Saving.
    void OnSaveImage();

    // Settings files.
    void OnExportSettings();
    void OnImportSettings();

    // Looks: applying one is a change of its own, recorded in the history
    // like an import; the photo's output size stays as it is. A thumbnail
    // of the open photo with a look's settings comes back through
    // lookThumbnailReady() when the worker is free.
    void ApplyLook(const EditSettings& settings);
    void RequestLookThumbnail(const QString& name, const EditSettings& settings);

    // History.
    void SaveState();
    void SaveCurrentState();
    void LoadStateWithData(const QString& text);
    void OnUndo();
    void OnRedo();
    bool CanUndo() const;
    bool CanRedo() const;

    // Panel handlers.
    void OnBrightnessChanged();
    void OnExposureChanged();
    void OnContrastChanged();
    void OnSaturationChanged();
    void OnGammaChanged();
    void OnRedChanged();
    void OnGreenChanged();
    void OnBlueChanged();
    void OnHueChanged();
    void OnTextWatermarkChecked();
    void OnTextChanged();
    void OnTextColorChanged();
    void OnTextFontTypeSelected();
    void OnTextFieldTextFontSizeChanged();
    void OnStepperTextFontSizeChanged();
    void OnTextFieldTextOpacityChanged();
    void OnStepperTextOpacityChanged();
    void OnTextShadowChecked();
    void OnTextPositionSelected();
    void OnTextStrokeChecked();
    void OnTextFieldTextXOffsetChanged();
    void OnStepperTextXOffsetChanged();
    void OnTextFieldTextYOffsetChanged();
    void OnStepperTextYOffsetChanged();
    void OnImageWatermarkChecked();
    void OnTextFieldImageScaleChanged();
    void OnStepperImageScaleChanged();
    void OnTextFieldImageOpacityChanged();
    void OnStepperImageOpacityChanged();
    void OnImagePositionSelected();
    void OnTextFieldImageXOffsetChanged();
    void OnStepperImageXOffsetChanged();
    void OnTextFieldImageYOffsetChanged();
    void OnStepperImageYOffsetChanged();
    void OnBlackAndWhiteChecked();
    void OnSepiaChecked();
    void OnSepiaIntensityChanged();
    void OnCartoonChecked();
    void OnCartoonBlurChanged();
    void OnCartoonThresholdChanged();
    void OnCartoonQuantizationChanged();
    void OnOilPaintingChecked();
    void OnOilPaintingIntensityChanged();
    void OnVignetteChecked();
    void OnVignetteRadiusChanged();
    void OnPixellateChecked();
    void OnPixellatePixelSizeChanged();
    void OnHalftoneChecked();
    void OnHalftoneDotSizeChanged();
    void OnBlurChecked();
    void OnBlurIntensityChanged();
    void OnCircleBlurChecked();
    void OnCircleBlurIntensityChanged();
    void OnCircleBlurRadiusChanged();
    void OnFocusBlurChecked();
    void OnFocusBlurIntensityChanged();
    void OnFocusBlurRadiusChanged();
    void OnFocusBlurEdgeChanged();
    void OnMotionBlurChecked();
    void OnMotionBlurIntensityChanged();
    void OnMotionBlurAngleChanged();
    void OnZoomBlurChecked();
    void OnZoomBlurIntensityChanged();
    void On3DTransformChecked();
    void OnSwirlChecked();
    void OnSwirlRadiusChanged();
    void OnSwirlAngleChanged();
    void OnGlassSphereChecked();
    void OnGlassSphereRadiusChanged();
    void OnGlassSphereRefractionChanged();
    void OnRotateChecked();
    void OnRotateAngleChanged();
    void On3DMatrixM11Changed();
    void On3DMatrixM12Changed();
    void On3DMatrixM13Changed();
    void On3DMatrixM14Changed();
    void On3DMatrixM21Changed();
    void On3DMatrixM22Changed();
    void On3DMatrixM23Changed();
    void On3DMatrixM24Changed();
    void On3DMatrixM31Changed();
    void On3DMatrixM32Changed();
    void On3DMatrixM33Changed();
    void On3DMatrixM34Changed();
    void On3DMatrixM41Changed();
    void On3DMatrixM42Changed();
    void On3DMatrixM43Changed();
    void On3DMatrixM44Changed();
    void controlTextDidChange();

    // Reset buttons.
    void OnResetAdjustments();
    void OnResetSepia();
    void OnResetCartoon();
    void OnResetOilPainting();
    void OnResetVignette();
    void OnResetPixellate();
    void OnResetHalftone();
    void OnResetBlur();
    void OnResetCircleBlur();
    void OnResetFocusBlur();
    void OnResetMotionBlur();
    void OnResetZoomBlur();
    void OnReset3DTransform();
    void OnResetRotate();
    void OnResetSwirl();
    void OnResetGlassSphere();
    void OnResetTextWatermark();
    void OnResetImageWatermark();

    // Export controls.
    void OnFormatSelected();
    void OnQualityChanged();
    void OnWidthChanged();
    void OnHeightChanged();
    void OnKeepAspectChecked();
    void OnResetWidthHeight();
    void OnKeepExifInfoSelected();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    // Asks where to save; the chosen path with the format's extension
    // enforced, or nothing when the user cancelled.
    std::optional<QString> ChooseSavePath(const QString& title, const QString& proposedName,
                                          const QString& extension);

    // Shows one of the help pages shipped with the program.
    void OpenHelpPage(const QString& page);

    // Panel construction.
    void BuildPanel();
    QWidget* BuildGroup(const GroupSpec& group);
    QWidget* BuildPreview();
    QWidget* BuildExportArea();
    QWidget* MakeControl(const FieldSpec& field);

    // Shared rules of the handlers.
    void RenderIfOn(QCheckBox* groupCheck);
    bool DiffersFromCurrentState(const QWidget& control, const QString& text) const;
    void OnPairedStepperChanged(QLineEdit* field, Stepper* stepper, QCheckBox* groupCheck);
    void OnPairedTextFieldChanged(QLineEdit* field, Stepper* stepper, QCheckBox* groupCheck);
    void OnMatrixStepperChanged(QLineEdit* field, Stepper* stepper);
    void ResetGroup(Group group);
    void ApplyKeepAspect(bool fromWidth);

    // The viewport.
    ViewportSize Viewport() const;
    void ApplyZoomStep(double step);
    void UpdatePanCursor();
    bool HandleViewportEvent(QObject* watched, QEvent* event);

    // The render pass: its inputs, taken when a pass starts, and what the
    // window does when one starts and when one comes back.
    std::optional<RenderInputs> GatherRenderInputs();
    void OnRenderPassStarted();
    void OnRenderPassCompleted(const RenderResult& result, bool shown);
    void OnPreviewReady(const RenderResult& result);
    // The reduced copy previews render from, made when a photo opens (and
    // what Compare shows).
    void PreparePreview(const QString& path, const Image& full);

    // The history's rules beyond the plain recording. A finished pass
    // records the panel unless a skip is pending or the current state holds
    // exactly that text; the user's own change clears a pending skip, so no
    // change of theirs is ever swallowed.
    void RecordPassState();
    void NoteUserChange();
    // Puts a settings text into the panel and renders; the pass records it
    // when `record` is true (an import), not when stepping through the
    // history. False when the text is not a valid settings text.
    bool ApplyStateText(const QString& text, bool record);
    // Undo (-1) and Redo (+1).
    void StepHistory(int step);

    FieldValue ReadControl(const FieldSpec& field) const;
    void WriteControl(const FieldSpec& field, const FieldValue& value);

    std::shared_ptr<Dialogs> dialogs_;
    RenderFunction renderFunction_;
    SaveFunction saveFunction_;
    SaveCommand saveCommand_;      // the running save's thread and wait
    bool quitAfterSave_ = false;   // Quit was asked for during a save
    bool closeAfterSave_ = false;  // the window was asked to close during a save
    RenderScheduler scheduler_;
    QImage originalPicture_;  // the unedited photo, at preview size, for Compare
    bool livePreview_ = true;
    QElapsedTimer passTimer_;  // from a request that found no pass running to its result
    QTimer idleRelease_;       // started by every finished pass
    QPointF lastDragPosition_;
    int wheelAngle_ = 0;

  public:
    // Outlets that are not settings.
    QTabWidget* tabView = nullptr;
    QFrame* boxImage = nullptr;
    QWidget* customViewImage = nullptr;
    CustomImageView* imageView = nullptr;
    QProgressBar* progressIndicator = nullptr;
    QToolButton* buttonZoomIn = nullptr;
    QToolButton* buttonZoomOut = nullptr;
    QToolButton* buttonResetZoom = nullptr;
    QPushButton* buttonSelectImage = nullptr;
    QPushButton* buttonSaveImage = nullptr;
    QPushButton* buttonSelectLogo = nullptr;
    QPushButton* buttonResetWidthHeight = nullptr;
    LUMETRA_OUTLET(QPushButton, buttonResetAdjustments);
    LUMETRA_OUTLET(QPushButton, buttonResetSepia);
    LUMETRA_OUTLET(QPushButton, buttonResetCartoon);
    LUMETRA_OUTLET(QPushButton, buttonResetOilPainting);
    LUMETRA_OUTLET(QPushButton, buttonResetVignette);
    LUMETRA_OUTLET(QPushButton, buttonResetPixelate);
    LUMETRA_OUTLET(QPushButton, buttonResetHalftone);
    LUMETRA_OUTLET(QPushButton, buttonResetBlur);
    LUMETRA_OUTLET(QPushButton, buttonResetCircleBlur);
    LUMETRA_OUTLET(QPushButton, buttonResetFocusBlur);
    LUMETRA_OUTLET(QPushButton, buttonResetMotionBlur);
    LUMETRA_OUTLET(QPushButton, buttonResetZoomBlur);
    LUMETRA_OUTLET(QPushButton, buttonReset3DTransform);
    LUMETRA_OUTLET(QPushButton, buttonResetRotate);
    LUMETRA_OUTLET(QPushButton, buttonResetSwirl);
    LUMETRA_OUTLET(QPushButton, buttonResetGlassSphere);
    LUMETRA_OUTLET(QPushButton, buttonResetTextWatermark);
    LUMETRA_OUTLET(QPushButton, buttonResetImageWatermark);
    QLabel* labelQuality = nullptr;

    // Outlets of the settings, one per field.
    LUMETRA_OUTLET(FloatSlider, sliderBrightness);
    LUMETRA_OUTLET(FloatSlider, sliderExposure);
    LUMETRA_OUTLET(FloatSlider, sliderContrast);
    LUMETRA_OUTLET(FloatSlider, sliderSaturation);
    LUMETRA_OUTLET(FloatSlider, sliderGamma);
    LUMETRA_OUTLET(FloatSlider, sliderRed);
    LUMETRA_OUTLET(FloatSlider, sliderGreen);
    LUMETRA_OUTLET(FloatSlider, sliderBlue);
    LUMETRA_OUTLET(FloatSlider, sliderHue);
    LUMETRA_OUTLET(QCheckBox, checkTextWatermark);
    LUMETRA_OUTLET(QLineEdit, textFieldText);
    LUMETRA_OUTLET(ColorWell, colorWellTextColor);
    LUMETRA_OUTLET(QComboBox, comboTextFontType);
    LUMETRA_OUTLET(Stepper, stepperTextFontSize);
    LUMETRA_OUTLET(QLineEdit, textFieldTextFontSize);
    LUMETRA_OUTLET(Stepper, stepperTextOpacity);
    LUMETRA_OUTLET(QLineEdit, textFieldTextOpacity);
    LUMETRA_OUTLET(QCheckBox, checkTextShadow);
    LUMETRA_OUTLET(QComboBox, comboTextPosition);
    LUMETRA_OUTLET(QCheckBox, checkTextStroke);
    LUMETRA_OUTLET(Stepper, stepperTextXOffset);
    LUMETRA_OUTLET(QLineEdit, textFieldTextXOffset);
    LUMETRA_OUTLET(Stepper, stepperTextYOffset);
    LUMETRA_OUTLET(QLineEdit, textFieldTextYOffset);
    LUMETRA_OUTLET(QCheckBox, checkImageWatermark);
    LUMETRA_OUTLET(QLineEdit, textFieldImage);
    LUMETRA_OUTLET(Stepper, stepperImageScale);
    LUMETRA_OUTLET(QLineEdit, textFieldImageScale);
    LUMETRA_OUTLET(Stepper, stepperImageOpacity);
    LUMETRA_OUTLET(QLineEdit, textFieldImageOpacity);
    LUMETRA_OUTLET(QComboBox, comboImagePosition);
    LUMETRA_OUTLET(Stepper, stepperImageXOffset);
    LUMETRA_OUTLET(QLineEdit, textFieldImageXOffset);
    LUMETRA_OUTLET(Stepper, stepperImageYOffset);
    LUMETRA_OUTLET(QLineEdit, textFieldImageYOffset);
    LUMETRA_OUTLET(QCheckBox, checkBlackWhite);
    LUMETRA_OUTLET(QCheckBox, checkSepia);
    LUMETRA_OUTLET(FloatSlider, sliderSepiaIntensity);
    LUMETRA_OUTLET(QCheckBox, checkCartoon);
    LUMETRA_OUTLET(FloatSlider, sliderCartoonBlur);
    LUMETRA_OUTLET(FloatSlider, sliderCartoonThreshold);
    LUMETRA_OUTLET(FloatSlider, sliderCartoonQuantization);
    LUMETRA_OUTLET(QCheckBox, checkOilPainting);
    LUMETRA_OUTLET(FloatSlider, sliderOilPaintingIntensity);
    LUMETRA_OUTLET(QCheckBox, checkVignette);
    LUMETRA_OUTLET(FloatSlider, sliderVignetteRadius);
    LUMETRA_OUTLET(QCheckBox, checkPixellate);
    LUMETRA_OUTLET(FloatSlider, sliderPixellatePixelSize);
    LUMETRA_OUTLET(QCheckBox, checkHalftone);
    LUMETRA_OUTLET(FloatSlider, sliderHalftoneDotSize);
    LUMETRA_OUTLET(QCheckBox, checkBlur);
    LUMETRA_OUTLET(FloatSlider, sliderBlurIntensity);
    LUMETRA_OUTLET(QCheckBox, checkCircleBlur);
    LUMETRA_OUTLET(FloatSlider, sliderCircleBlurIntensity);
    LUMETRA_OUTLET(FloatSlider, sliderCircleBlurRadius);
    LUMETRA_OUTLET(QCheckBox, checkFocusBlur);
    LUMETRA_OUTLET(FloatSlider, sliderFocusBlurIntensity);
    LUMETRA_OUTLET(FloatSlider, sliderFocusBlurRadius);
    LUMETRA_OUTLET(FloatSlider, sliderFocusBlurEdge);
    LUMETRA_OUTLET(QCheckBox, checkMotionBlur);
    LUMETRA_OUTLET(FloatSlider, sliderMotionBlurIntensity);
    LUMETRA_OUTLET(FloatSlider, sliderMotionBlurAngle);
    LUMETRA_OUTLET(QCheckBox, checkZoomBlur);
    LUMETRA_OUTLET(FloatSlider, sliderZoomBlurIntensity);
    LUMETRA_OUTLET(QCheckBox, check3DTransform);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM11);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM11);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM12);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM12);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM13);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM13);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM14);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM14);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM21);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM21);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM22);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM22);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM23);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM23);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM24);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM24);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM31);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM31);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM32);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM32);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM33);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM33);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM34);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM34);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM41);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM41);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM42);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM42);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM43);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM43);
    LUMETRA_OUTLET(QLineEdit, textField3DTransformM44);
    LUMETRA_OUTLET(Stepper, stepper3DTransformM44);
    LUMETRA_OUTLET(QCheckBox, checkSwirl);
    LUMETRA_OUTLET(FloatSlider, sliderSwirlRadius);
    LUMETRA_OUTLET(FloatSlider, sliderSwirlAngle);
    LUMETRA_OUTLET(QCheckBox, checkGlassSphere);
    LUMETRA_OUTLET(FloatSlider, sliderGlassSphereRadius);
    LUMETRA_OUTLET(FloatSlider, sliderGlassSphereRefraction);
    LUMETRA_OUTLET(QCheckBox, checkRotate);
    LUMETRA_OUTLET(FloatSlider, sliderRotateAngle);
    LUMETRA_OUTLET(QComboBox, comboFormat);
    LUMETRA_OUTLET(FloatSlider, sliderQuality);
    LUMETRA_OUTLET(QLineEdit, textFieldWidth);
    LUMETRA_OUTLET(QLineEdit, textFieldHeight);
    LUMETRA_OUTLET(QCheckBox, checkKeepAspect);
    LUMETRA_OUTLET(QCheckBox, checkKeepExifInfo);
};

}  // namespace lumetra
