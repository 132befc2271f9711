// SPDX-License-Identifier: GPL-3.0-or-later
// Building the editor panel from the settings table: one box per group,
// grouped in tabs that fit a 1280 x 800 screen, the preview with its zoom
// buttons on the left and the export controls under the tabs.
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>
#include <string>

#include "editor/ViewController.h"
#include "files/CustomImageView.h"
#include "settings/SettingsText.h"

namespace lumetra {
namespace {

// The tab that holds each group, and the tabs' titles. Within a tab the
// groups follow the order in which their stages run.
struct TabSpec {
    const char* title;
    std::vector<Group> groups;
};

const std::vector<TabSpec>& Tabs() {
    static const std::vector<TabSpec> tabs = {
        {"Colour", {Group::Adjustments, Group::BlackWhite, Group::Sepia}},
        {"Effects",
         {Group::Cartoon, Group::OilPainting, Group::Vignette, Group::Pixellate, Group::Halftone}},
        {"Blur",
         {Group::Blur, Group::CircleBlur, Group::FocusBlur, Group::MotionBlur, Group::ZoomBlur}},
        {"Geometry", {Group::Transform3D, Group::Rotate, Group::Swirl, Group::GlassSphere}},
        {"Watermark", {Group::TextWatermark, Group::ImageWatermark}},
    };
    return tabs;
}

// Keeps a text field to one line: a newline character typed or pasted into
// it becomes a space, as it would otherwise split the settings text.
class SingleLineValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = SingleLine(std::move(input));
        return Acceptable;
    }
};

QLineEdit* NumberField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setMaximumWidth(90);
    field->setAlignment(Qt::AlignRight);
    return field;
}

}  // namespace

QWidget* ViewController::MakeControl(const FieldSpec& field) {
    QWidget* control = nullptr;
    switch (field.kind) {
        case FieldKind::Slider: {
            auto* slider = new FloatSlider(this);
            slider->setRange(field.minimum, field.maximum);
            control = slider;
            break;
        }
        case FieldKind::CheckBox:
            control = new QCheckBox(QString::fromUtf8(field.label), this);
            break;
        case FieldKind::TextField: {
            auto* edit = field.partner ? NumberField(this) : new QLineEdit(this);
            // Typing and pasting go through the validator; text set from
            // code is put right as soon as it arrives.
            edit->setValidator(new SingleLineValidator(edit));
            connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
                const QString line = SingleLine(text);
                if (line != text) edit->setText(line);
            });
            control = edit;
            break;
        }
        case FieldKind::Stepper: {
            auto* stepper = new Stepper(this);
            stepper->setRange(field.minimum, field.maximum);
            stepper->setIncrement(field.increment);
            control = stepper;
            break;
        }
        case FieldKind::ColorWell: {
            auto* well = new ColorWell(this);
            well->setChooser(
                [this](const RgbaColor& current) { return dialogs_->ChooseColor(this, current); });
            control = well;
            break;
        }
        case FieldKind::PopUp:
            control = new QComboBox(this);
            break;
    }
    control->setObjectName(QString::fromLatin1(field.name));
    if (!outlets_.Bind(field.name, control))
        qFatal("The panel has no outlet for the setting %s", field.name);
    if (field.label && *field.label && field.kind != FieldKind::CheckBox)
        control->setAccessibleName(QString::fromUtf8(field.label));

    // The user's changes reach the field's handler; changes made from code
    // (resets, settings texts) send nothing.
    if (field.action) {
        const QByteArray slot = QByteArray(field.action) + "()";
        const int index = metaObject()->indexOfSlot(slot.constData());
        if (index < 0) qFatal("The panel names a handler that does not exist: %s", field.action);
        const QMetaMethod handler = metaObject()->method(index);
        auto invoke = [this, handler] {
            NoteUserChange();
            handler.invoke(this, Qt::DirectConnection);
        };
        switch (field.kind) {
            case FieldKind::Slider:
                connect(static_cast<FloatSlider*>(control), &FloatSlider::moved, this, invoke);
                break;
            case FieldKind::CheckBox: {
                auto* box = static_cast<QCheckBox*>(control);
                connect(box, &QCheckBox::clicked, this, [box, invoke] {
                    // A box restored in the mixed state goes back to two states
                    // once the user has clicked it.
                    if (box->checkState() != Qt::PartiallyChecked) box->setTristate(false);
                    invoke();
                });
                break;
            }
            case FieldKind::TextField:
                connect(static_cast<QLineEdit*>(control), &QLineEdit::editingFinished, this,
                        invoke);
                break;
            case FieldKind::Stepper:
                connect(static_cast<Stepper*>(control), &Stepper::stepped, this, invoke);
                break;
            case FieldKind::ColorWell:
                connect(static_cast<ColorWell*>(control), &ColorWell::colorChanged, this, invoke);
                break;
            case FieldKind::PopUp:
                connect(static_cast<QComboBox*>(control), &QComboBox::activated, this, invoke);
                break;
        }
    }
    return control;
}

QWidget* ViewController::BuildGroup(const GroupSpec& group) {
    auto* box = new QGroupBox(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 6, 8, 6);

    // Header: the group's on/off box (or its title) and its reset button.
    auto* header = new QHBoxLayout;
    const FieldSpec* check = group.checkBox ? FindField(group.checkBox) : nullptr;
    if (check) {
        QWidget* control = MakeControl(*check);
        QFont bold = control->font();
        bold.setBold(true);
        control->setFont(bold);
        header->addWidget(control);
    } else {
        auto* title = new QLabel(QStringLiteral("<b>%1</b>").arg(QString::fromUtf8(group.title)));
        header->addWidget(title);
    }
    header->addStretch(1);
    if (group.resetButton) {
        auto* reset = new QPushButton(tr("Reset"), box);
        reset->setObjectName(QString::fromLatin1(group.resetButton));
        reset->setToolTip(tr("Put the %1 settings back to their defaults")
                              .arg(QString::fromUtf8(group.title).toLower()));
        outlets_.Bind(group.resetButton, reset);
        const QByteArray slot = QByteArray(group.resetAction) + "()";
        const int index = metaObject()->indexOfSlot(slot.constData());
        if (index < 0) qFatal("No handler for the reset button %s", group.resetButton);
        const QMetaMethod handler = metaObject()->method(index);
        connect(reset, &QPushButton::clicked, this, [this, handler] {
            NoteUserChange();
            handler.invoke(this, Qt::DirectConnection);
        });
        header->addWidget(reset);
    }
    layout->addLayout(header);

    if (group.group == Group::Transform3D) {
        // The matrix: four rows of four cells, each a text field with its
        // stepper.
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(4);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                const std::string cell = std::to_string(r + 1) + std::to_string(c + 1);
                auto* pair = new QHBoxLayout;
                pair->setSpacing(1);
                auto* text = static_cast<QLineEdit*>(
                    MakeControl(*FindField("textField3DTransformM" + cell)));
                // A cell only shows its stepper's value.
                text->setReadOnly(true);
                text->setFocusPolicy(Qt::NoFocus);
                text->setMaximumWidth(56);
                text->setAccessibleName(QStringLiteral("M%1").arg(QString::fromStdString(cell)));
                pair->addWidget(text);
                pair->addWidget(MakeControl(*FindField("stepper3DTransformM" + cell)));
                grid->addLayout(pair, r, c);
            }
        layout->addLayout(grid);
        return box;
    }

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (const FieldSpec& field : SettingsFields()) {
        if (field.group != group.group || &field == check) continue;
        if (field.kind == FieldKind::Stepper) continue;  // placed with its text field
        const QString label = QString::fromUtf8(field.label);
        if (field.kind == FieldKind::CheckBox) {
            form->addRow(QString(), MakeControl(field));
        } else if (field.partner) {
            auto* row = new QHBoxLayout;
            row->setSpacing(2);
            row->addWidget(MakeControl(field));
            row->addWidget(MakeControl(*FindField(field.partner)));
            row->addStretch(1);
            form->addRow(label, row);
        } else if (std::string_view(field.name) == "textFieldImage") {
            auto* row = new QHBoxLayout;
            auto* path = static_cast<QLineEdit*>(MakeControl(field));
            path->setReadOnly(true);
            path->setPlaceholderText(tr("No logo chosen"));
            buttonSelectLogo = new QPushButton(tr("Choose…"), box);
            buttonSelectLogo->setObjectName(QStringLiteral("buttonSelectLogo"));
            connect(buttonSelectLogo, &QPushButton::clicked, this, &ViewController::OnSelectLogo);
            row->addWidget(path, 1);
            row->addWidget(buttonSelectLogo);
            form->addRow(label, row);
        } else {
            form->addRow(label, MakeControl(field));
        }
    }
    layout->addLayout(form);
    return box;
}

QWidget* ViewController::BuildPreview() {
    auto* area = new QWidget(this);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* toolbar = new QHBoxLayout;
    buttonSelectImage = new QPushButton(tr("Open Image…"), area);
    buttonSelectImage->setObjectName(QStringLiteral("buttonSelectImage"));
    connect(buttonSelectImage, &QPushButton::clicked, this, &ViewController::OnSelectImage);
    toolbar->addWidget(buttonSelectImage);
    toolbar->addStretch(1);
    progressIndicator = new QProgressBar(area);
    progressIndicator->setObjectName(QStringLiteral("progressIndicator"));
    progressIndicator->setRange(0, 0);  // busy
    progressIndicator->setTextVisible(false);
    progressIndicator->setMaximumWidth(120);
    progressIndicator->setAccessibleName(tr("Rendering"));
    toolbar->addWidget(progressIndicator);
    const auto zoomButton = [area](const QString& text, const QString& tip, const char* name) {
        auto* button = new QToolButton(area);
        button->setText(text);
        button->setToolTip(tip);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoRaise(true);
        return button;
    };
    buttonZoomOut = zoomButton(QStringLiteral("−"), tr("Zoom out"), "buttonZoomOut");
    buttonResetZoom = zoomButton(tr("Fit"), tr("Fit the preview"), "buttonResetZoom");
    buttonZoomIn = zoomButton(QStringLiteral("+"), tr("Zoom in"), "buttonZoomIn");
    toolbar->addWidget(buttonZoomOut);
    toolbar->addWidget(buttonResetZoom);
    toolbar->addWidget(buttonZoomIn);
    layout->addLayout(toolbar);

    boxImage = new QFrame(area);
    boxImage->setObjectName(QStringLiteral("boxImage"));
    boxImage->setFrameShape(QFrame::StyledPanel);
    auto* boxLayout = new QVBoxLayout(boxImage);
    boxLayout->setContentsMargins(2, 2, 2, 2);
    customViewImage = new QWidget(boxImage);
    customViewImage->setObjectName(QStringLiteral("customViewImage"));
    customViewImage->setMinimumSize(320, 240);
    boxLayout->addWidget(customViewImage);
    imageView = new CustomImageView(customViewImage);
    imageView->setObjectName(QStringLiteral("imageView"));
    customViewImage->installEventFilter(this);
    imageView->installEventFilter(this);
    connect(buttonZoomIn, &QToolButton::clicked, this, &ViewController::OnZoomIn);
    connect(buttonZoomOut, &QToolButton::clicked, this, &ViewController::OnZoomOut);
    connect(buttonResetZoom, &QToolButton::clicked, this, &ViewController::OnResetZoom);
    layout->addWidget(boxImage, 1);
    return area;
}

QWidget* ViewController::BuildExportArea() {
    auto* box = new QGroupBox(tr("Export"), this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->addWidget(new QLabel(tr("Format")), 0, 0, Qt::AlignRight);
    grid->addWidget(MakeControl(*FindField("comboFormat")), 0, 1);
    grid->addWidget(new QLabel(tr("Quality")), 1, 0, Qt::AlignRight);
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(MakeControl(*FindField("sliderQuality")), 1);
    labelQuality = new QLabel(box);
    labelQuality->setObjectName(QStringLiteral("labelQuality"));
    labelQuality->setMinimumWidth(labelQuality->fontMetrics().horizontalAdvance("1000"));
    labelQuality->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    qualityRow->addWidget(labelQuality);
    grid->addLayout(qualityRow, 1, 1, 1, 3);
    // The quality slider shows its number in labelQuality instead.
    sliderQuality->setValueVisible(false);

    grid->addWidget(new QLabel(tr("Size")), 2, 0, Qt::AlignRight);
    auto* sizeRow = new QHBoxLayout;
    auto* width = static_cast<QLineEdit*>(MakeControl(*FindField("textFieldWidth")));
    auto* height = static_cast<QLineEdit*>(MakeControl(*FindField("textFieldHeight")));
    width->setMaximumWidth(80);
    height->setMaximumWidth(80);
    sizeRow->addWidget(width);
    sizeRow->addWidget(new QLabel(QStringLiteral("×")));
    sizeRow->addWidget(height);
    buttonResetWidthHeight = new QPushButton(tr("Reset Size"), box);
    buttonResetWidthHeight->setObjectName(QStringLiteral("buttonResetWidthHeight"));
    connect(buttonResetWidthHeight, &QPushButton::clicked, this, [this] {
        NoteUserChange();
        OnResetWidthHeight();
    });
    sizeRow->addWidget(buttonResetWidthHeight);
    sizeRow->addStretch(1);
    grid->addLayout(sizeRow, 2, 1, 1, 3);
    grid->addWidget(MakeControl(*FindField("checkKeepAspect")), 3, 1, 1, 3);

    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(MakeControl(*FindField("checkKeepExifInfo")));
    saveRow->addStretch(1);
    buttonSaveImage = new QPushButton(tr("Save Image…"), box);
    buttonSaveImage->setObjectName(QStringLiteral("buttonSaveImage"));
    connect(buttonSaveImage, &QPushButton::clicked, this, &ViewController::OnSaveImage);
    saveRow->addWidget(buttonSaveImage);
    grid->addLayout(saveRow, 4, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    return box;
}

void ViewController::BuildPanel() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(BuildPreview());

    auto* panel = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    tabView = new QTabWidget(panel);
    tabView->setObjectName(QStringLiteral("tabView"));
    for (const TabSpec& tab : Tabs()) {
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(4, 4, 4, 4);
        for (const Group group : tab.groups) pageLayout->addWidget(BuildGroup(GroupOf(group)));
        pageLayout->addStretch(1);
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidget(page);
        tabView->addTab(scroll, tr(tab.title));
    }
    panelLayout->addWidget(tabView, 1);
    panelLayout->addWidget(BuildExportArea());
    panel->setMinimumWidth(420);
    panel->setMaximumWidth(560);
    splitter->addWidget(panel);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(splitter);

    // The watermark text shows in the preview as it is typed.
    connect(textFieldText, &QLineEdit::textEdited, this, [this] {
        NoteUserChange();
        controlTextDidChange();
    });

    for (const FieldSpec& field : SettingsFields())
        if (!outlets_.Find(field.name))
            qFatal("The panel does not show the setting %s", field.name);
}

}  // namespace lumetra
