// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's life: construction, start-up set-up, the reset of the
// whole panel, reading and writing the panel as settings, and the window and
// help commands.
#include "editor/ViewController.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <charconv>
#include <cmath>

#include "files/CustomImageView.h"
#include "files/ImageFiles.h"
#include "render/BufferPool.h"
#include "render/ImageTools.h"
#include "settings/SettingsText.h"

namespace lumetra {

namespace {

int CheckState(const QCheckBox* box) {
    const Qt::CheckState state = box->checkState();
    return state == Qt::Checked ? 1 : (state == Qt::PartiallyChecked ? -1 : 0);
}

void SetCheckState(QCheckBox* box, int state) {
    box->setTristate(state == -1);
    box->setCheckState(state == -1 ? Qt::PartiallyChecked
                                   : (state == 1 ? Qt::Checked : Qt::Unchecked));
}

}  // namespace

ViewController::ViewController(std::shared_ptr<Dialogs> dialogs, QWidget* parent)
    : QWidget(parent),
      dialogs_(dialogs ? std::move(dialogs) : std::make_shared<QtDialogs>()),
      scheduler_([this] { return GatherRenderInputs(); }) {
    renderFunction_ = &RunRenderPass;
    saveFunction_ = &ImageTools::SaveImage;
    idleRelease_.setSingleShot(true);
    idleRelease_.setInterval(30000);
    connect(&idleRelease_, &QTimer::timeout, this, [] { ReleaseCachedBuffers(); });
    connect(&scheduler_, &RenderScheduler::passStarted, this, &ViewController::OnRenderPassStarted);
    connect(&scheduler_, &RenderScheduler::passFinished, this,
            &ViewController::OnRenderPassCompleted);
    connect(&scheduler_, &RenderScheduler::previewReady, this, &ViewController::OnPreviewReady);
    connect(&scheduler_, &RenderScheduler::thumbnailReady, this,
            &ViewController::lookThumbnailReady);
    BuildPanel();
}

ViewController::~ViewController() = default;

void ViewController::viewDidLoad() {
    // The window the controller sits in asks it before closing.
    if (window() != this) window()->installEventFilter(this);

    for (const FieldSpec& field : SettingsFields()) {
        if (field.kind != FieldKind::PopUp) continue;
        auto* popUp = static_cast<QComboBox*>(Control(field));
        popUp->clear();
        popUp->addItems(PopUpItems(field));
    }

    for (QToolButton* button : {buttonZoomIn, buttonZoomOut, buttonResetZoom}) {
        auto* effect = new QGraphicsOpacityEffect(button);
        effect->setOpacity(0.5);
        button->setGraphicsEffect(effect);
    }

    checkKeepExifInfo->setToolTip(
        QStringLiteral("Keep the EXIF information and creation date of the original image"));

    ResetInterface();

    imageView->setConfirm(
        [this](const QString& question) { return dialogs_->AskYesNo(this, question); });
    connect(imageView, &CustomImageView::dragPerformed, this, &ViewController::DragPerformed,
            Qt::UniqueConnection);
}

void ViewController::ResetInterface() {
    originalImagePath.clear();
    originalImageName.clear();
    originalImageSize = QSizeF(0, 0);
    logo = Image();

    tabView->setCurrentIndex(0);

    ApplySettings(EditSettings());

    sliderQuality->setEnabled(true);
    sliderQuality->setFloatValue(80.f);
    labelQuality->setText(QStringLiteral("80"));

    buttonSaveImage->setEnabled(false);
    emit saveAvailabilityChanged(false);
    progressIndicator->setVisible(false);
    imageView->setImage(QImage());
    imageView->setComparison(QImage());
    originalPicture_ = QImage();
    emit pictureChanged();

    // A pass still running belongs to the picture that was just put away:
    // its result must not bring that picture back.
    scheduler_.DiscardRunning();

    UpdateImageSize();
}

FieldValue ViewController::ReadControl(const FieldSpec& field) const {
    QWidget* control = Control(field);
    switch (field.kind) {
        case FieldKind::Slider:
            return static_cast<FloatSlider*>(control)->floatValue();
        case FieldKind::CheckBox:
            return CheckState(static_cast<QCheckBox*>(control));
        case FieldKind::TextField:
            return static_cast<QLineEdit*>(control)->text();
        case FieldKind::Stepper:
            return static_cast<Stepper*>(control)->floatValue();
        case FieldKind::ColorWell:
            return static_cast<ColorWell*>(control)->color();
        case FieldKind::PopUp:
            return static_cast<QComboBox*>(control)->currentIndex();
    }
    return {};
}

void ViewController::WriteControl(const FieldSpec& field, const FieldValue& value) {
    QWidget* control = Control(field);
    switch (field.kind) {
        case FieldKind::Slider:
            static_cast<FloatSlider*>(control)->setFloatValue(std::get<float>(value));
            break;
        case FieldKind::CheckBox:
            SetCheckState(static_cast<QCheckBox*>(control), std::get<int>(value));
            break;
        case FieldKind::TextField:
            static_cast<QLineEdit*>(control)->setText(SingleLine(std::get<QString>(value)));
            break;
        case FieldKind::Stepper:
            static_cast<Stepper*>(control)->setFloatValue(std::get<float>(value));
            break;
        case FieldKind::ColorWell:
            static_cast<ColorWell*>(control)->setColor(std::get<RgbaColor>(value));
            break;
        case FieldKind::PopUp:
            static_cast<QComboBox*>(control)->setCurrentIndex(std::get<int>(value));
            break;
    }
}

EditSettings ViewController::CurrentSettings() const {
    EditSettings settings;
    for (const FieldSpec& field : SettingsFields()) SetField(settings, field, ReadControl(field));
    return settings;
}

void ViewController::ApplySettings(const EditSettings& settings) {
    for (const FieldSpec& field : SettingsFields()) WriteControl(field, GetField(settings, field));
}

bool ViewController::windowShouldClose() {
    // The window closes once a running save has finished.
    if (isSaving()) {
        closeAfterSave_ = true;
        return false;
    }
    return true;
}

bool ViewController::eventFilter(QObject* watched, QEvent* event) {
    if (HandleViewportEvent(watched, event)) return true;
    if (event->type() == QEvent::Close && watched == window()) {
        event->setAccepted(windowShouldClose());
        return !event->isAccepted();
    }
    return QWidget::eventFilter(watched, event);
}

void ViewController::keyPressEvent(QKeyEvent* event) {
    // Holding the backslash key shows the unedited photo.
    if (event->key() == Qt::Key_Backslash) {
        if (!event->isAutoRepeat()) Compare(true);
        return;
    }
    QWidget::keyPressEvent(event);
}

void ViewController::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Backslash) {
        if (!event->isAutoRepeat()) Compare(false);
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void ViewController::OnAppQuit() {
    // Quitting waits for a running save to finish.
    if (isSaving()) {
        quitAfterSave_ = true;
        return;
    }
    QCoreApplication::quit();
}

void ViewController::OnFileNew() {
    if (isSaving()) return;  // the picture being saved stays until the save ends
    ResetInterface();
    if (window() != this) window()->setWindowTitle(QStringLiteral("Lumetra"));
}

QUrl ViewController::HelpPageUrl(const QString& page) {
    // Built and installed alike: the pages sit in share/lumetra/help next to
    // the bin folder that holds the program.
    const QDir bin(QCoreApplication::applicationDirPath());
    return QUrl::fromLocalFile(
        QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../share/lumetra/help/") + page)));
}

void ViewController::OpenHelpPage(const QString& page) {
    const QUrl url = HelpPageUrl(page);
    if (!url.isValid()) return;
    if (!QFileInfo::exists(url.toLocalFile())) {
        emit statusMessage(tr("The help page is not installed: %1").arg(url.toLocalFile()));
        return;
    }
    dialogs_->OpenUrl(url);
}

void ViewController::OnHowToRotateImages() {
    OpenHelpPage(QStringLiteral("rotating-images.html"));
}

void ViewController::OnHowToAddArtisticEffectsToImages() {
    OpenHelpPage(QStringLiteral("artistic-effects.html"));
}

QString ViewController::FloatToFormattedString(float value) {
    if (value > -0.001f && value < 0.001f) return QStringLiteral("0");
    // Two decimals with a point whatever the user's locale, rounded as the
    // C library's "%.2f" rounds (a tie such as 0.125 goes to the even digit,
    // 0.12); a small negative number that rounds to zero is shown as zero,
    // without a sign.
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, double(value), std::chars_format::fixed, 2);
    if (written.ec != std::errc()) return QStringLiteral("0");
    const QString text = QString::fromLatin1(buffer, written.ptr - buffer);
    return text == QLatin1String("-0.00") ? QStringLiteral("0.00") : text;
}

}  // namespace lumetra
