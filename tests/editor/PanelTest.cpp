// SPDX-License-Identifier: GPL-3.0-or-later
// The panel after start-up and a reset, its controls, what the user's hands
// do to them, and its small text rules.
#include "support/DecimalCommaLocale.h"
#include "support/FieldValues.h"
#include "support/WidgetTest.h"

#include <QApplication>
#include <QClipboard>
#include <QSlider>
#include <QWheelEvent>
#include <functional>

namespace lumetra {
namespace {

using test::SameFieldValue;

// Start-up and ResetInterface leave every default and the same panel.
void ExpectTheStartingPanel(ViewController& vc) {
    for (const FieldSpec& field : SettingsFields())
        EXPECT_TRUE(SameFieldValue(GetField(vc.CurrentSettings(), field), field.defaultValue))
            << field.name;
    const QStringList shown{vc.originalImagePath,
                            QString::number(vc.originalImageSize.width()),
                            QString::number(vc.logo.width()),
                            vc.sliderQuality->isEnabled() ? "quality" : "no quality",
                            vc.labelQuality->text(),
                            QString::number(vc.tabView->currentIndex()),
                            vc.buttonSaveImage->isEnabled() ? "save" : "no save",
                            vc.progressIndicator->isVisibleTo(&vc) ? "busy" : "idle",
                            vc.imageView->image().isNull() ? "empty" : "picture"};
    EXPECT_EQ(shown, QStringList({"", "0", "0", "quality", "80", "0", "no save", "idle", "empty"}));
}

TEST(Panel, StartsAndResetsToEveryDefaultAndAResetKeepsTheHistory) {
    test::Editor editor;
    ViewController& vc = *editor.controller;
    ExpectTheStartingPanel(vc);
    EXPECT_EQ(vc.currenState, -1);
    EXPECT_TRUE(vc.stateImagesPath.isEmpty());
    EXPECT_EQ(vc.numberOfStates, 50);
    EXPECT_TRUE(vc.needToSaveState);

    vc.ApplySettings(test::EveryFieldChanged());  // boxes that start off read back mixed
    for (const FieldSpec& field : SettingsFields())
        EXPECT_FALSE(SameFieldValue(GetField(vc.CurrentSettings(), field), field.defaultValue))
            << field.name << " did not take a changed value";
    for (const int state : {1, 0, 1}) {  // a click on a mixed box turns it on
        vc.checkSepia->click();
        EXPECT_EQ(vc.CurrentSettings().checkSepia, state);
    }
    vc.originalImagePath = "/tmp/x.png";
    vc.originalImageSize = QSizeF(10, 10);
    vc.logo = test::Flat(4, 4, 1, 0, 0);
    vc.sliderQuality->setEnabled(false);
    vc.labelQuality->setText("3");
    vc.tabView->setCurrentIndex(3);
    vc.buttonSaveImage->setEnabled(true);
    vc.stateImagesPath = QStringList{"one", "two"};
    vc.currenState = 1;
    vc.needToSaveState = false;
    vc.ResetInterface();
    ExpectTheStartingPanel(vc);
    EXPECT_EQ(vc.stateImagesPath, QStringList({"one", "two"}));
    EXPECT_EQ(vc.currenState, 1);
    EXPECT_FALSE(vc.needToSaveState);
}

TEST(Panel, ControlsHaveTheirDocumentedRangesAndThePopUpsTheirLists) {
    test::Editor editor;
    ViewController& vc = *editor.controller;
    for (const FieldSpec& field : SettingsFields())
        EXPECT_EQ(vc.Control(field)->objectName(), field.name);
    EXPECT_EQ(vc.sliderVignetteRadius->minimum(), -0.25f);
    EXPECT_EQ(vc.sliderVignetteRadius->maximum(), 0.25f);
    EXPECT_EQ(vc.sliderPixellatePixelSize->maximum(), 0.2f);
    EXPECT_EQ(vc.stepper3DTransformM41->increment(), 0.01f);

    const auto items = [](const QComboBox* box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
        return list;
    };
    EXPECT_EQ(vc.comboTextFontType->count(), 20);
    EXPECT_EQ(vc.comboTextFontType->currentText(), "Marker Felt");
    EXPECT_EQ(items(vc.comboTextPosition),
              QStringList({"Bottom Left", "Bottom Right", "Top Left", "Top Right", "Center"}));
    EXPECT_EQ(items(vc.comboImagePosition), items(vc.comboTextPosition));
    EXPECT_EQ(items(vc.comboFormat), QStringList({"JPG", "JPEG", "JPE", "JP2", "JPX", "PNG", "TIFF",
                                                  "TIF", "GIF", "BMP", "WEBP", "AVIF"}));
}

class PanelInput : public ::testing::Test {
  protected:
    void SetUp() override { vc.show(); }
    test::Editor editor;
    ViewController& vc = *editor.controller;
};

// A drag, the wheel and a key each set the value, show it and tell once.
TEST_F(PanelInput, EveryWayOfMovingASliderSetsShowsAndTellsOnce) {
    const std::function<void(QSlider*)> ways[] = {
        [](QSlider* track) {  // what the track does while its handle is dragged
            track->setSliderDown(true);
            track->setSliderPosition(track->sliderPosition() + 40);
            track->setSliderDown(false);
        },
        [](QSlider* track) {
            const QPointF at(track->width() / 2.0, track->height() / 2.0);
            QWheelEvent event(at, track->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(track, &event);
        },
        [](QSlider* track) { QTest::keyClick(track, Qt::Key_PageUp); }};
    FloatSlider* slider = vc.sliderHue;  // a step shows in its number
    for (const auto& move : ways) {
        SCOPED_TRACE(&move - ways);
        slider->setFloatValue(100.f);
        slider->track()->setFocus();
        QSignalSpy moved(slider, &FloatSlider::moved);
        move(slider->track());
        EXPECT_EQ(moved.count(), 1);
        EXPECT_NE(slider->floatValue(), 100.f);
        EXPECT_EQ(slider->valueLabel()->text(), slider->valueText());
        EXPECT_EQ(vc.CurrentSettings().sliderHue, slider->floatValue());
    }
}

// Off the track's 0.72-degree steps, clamped, cancelled, not a number.
TEST_F(PanelInput, AnExactValueIsTypedOverTheSlidersNumber) {
    FloatSlider* slider = vc.sliderRotateAngle;
    QSignalSpy moved(slider, &FloatSlider::moved);
    const std::tuple<const char*, Qt::Key, float> cases[] = {{"30", Qt::Key_Return, 30.f},
                                                             {" 45.5 ", Qt::Key_Enter, 45.5f},
                                                             {"9999", Qt::Key_Return, 360.f},
                                                             {"12", Qt::Key_Escape, 360.f},
                                                             {"twelve", Qt::Key_Return, 360.f}};
    for (const auto& [text, key, value] : cases) {
        QTest::mouseDClick(slider->valueLabel(), Qt::LeftButton);
        ASSERT_NE(slider->valueEditor(), nullptr) << text;
        slider->valueEditor()->setText(text);
        QTest::keyClick(slider->valueEditor(), key);
        EXPECT_EQ(slider->valueEditor(), nullptr) << text;
        EXPECT_EQ(slider->floatValue(), value) << text;
    }
    EXPECT_EQ(moved.count(), 3);
    EXPECT_FALSE(slider->valueLabel()->isHidden());
}

TEST_F(PanelInput, TextFieldsHoldOneLineAndTheHistoryStaysReadable) {
    QApplication::clipboard()->setText(QStringLiteral("first\nsecond\u2028third"));
    vc.textFieldText->clear();
    vc.textFieldText->paste();
    EXPECT_EQ(vc.textFieldText->text(), "first second third");
    vc.textFieldWidth->setText(QStringLiteral("12\r\n"));
    EXPECT_EQ(vc.textFieldWidth->text(), "12  ");
    EditSettings s;
    s.textFieldImage = QStringLiteral("logo\u0085name.png");
    vc.ApplySettings(s);
    EXPECT_EQ(vc.textFieldImage->text(), "logo name.png");
}

// "0" strictly between -0.001 and 0.001, otherwise two decimals, ties to even.
TEST(PanelText, MatrixCellsShowTwoDecimalsOrZero) {
    const std::pair<float, const char*> cases[] = {
        {1.f, "1.00"},    {0.25f, "0.25"},  {0.f, "0"},        {0.0004f, "0"},
        {-0.0004f, "0"},  {0.001f, "0.00"}, {-0.004f, "0.00"}, {-1.5f, "-1.50"},
        {2.345f, "2.35"}, {0.125f, "0.12"}, {0.375f, "0.38"},  {-0.125f, "-0.12"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(ViewController::FloatToFormattedString(value), text) << value;
}

TEST(PanelText, TextFieldNumbersReadTheLeadingNumberInAnyLocale) {
    const test::DecimalCommaLocale german;
    ASSERT_TRUE(german.active());
    const std::pair<const char*, float> cases[] = {
        {"  12.5abc", 12.5f}, {"1.5", 1.5f}, {"1,5", 1.f}, {"-3e2", -300.f},
        {"0x10", 16.f},       {"abc", 0.f},  {"", 0.f},    {"inf", INFINITY}};
    for (const auto& [text, number] : cases) EXPECT_EQ(TextFieldNumber(text), number) << text;
}

TEST(PanelText, WholeNumbersParseStrictly) {
    float v = 0.f;
    for (const auto& [text, number] :
         {std::pair{"400", 400.f}, {"-0.25", -0.25f}, {"-inf", -INFINITY}})
        EXPECT_TRUE(ParseFloatText(text, &v) && v == number) << text;
    EXPECT_TRUE(ParseFloatText("nan", &v) && std::isnan(v));
    for (const char* bad : {"", " 400", "400 ", "400px",
                            "\xef\xbc\x94"
                            "00"})
        EXPECT_FALSE(ParseFloatText(QString::fromUtf8(bad), &v)) << bad;
}

}  // namespace
}  // namespace lumetra
