#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>

#include "grab_util.h"
#include "support/scripted_prompts.h"
#include "ui/color_static.h"

using testsupport::CountColor;
using testsupport::Grab;

namespace {

class ColorStaticTest : public ::testing::Test {
protected:
    void SetUp() override {
        display.resize(320, 140);
        display.SetCaption(QStringLiteral("Temperatura"));
        display.SetKinds(3, 3, true);
        display.SetPrecision(true);
        display.show();
        ASSERT_TRUE(testsupport::WaitUntil([&] { return display.paintCount() > 0; }));
        testsupport::ProcessEventsFor(20);
    }

    int TimersOf(QObject* o) {
        return int(QAbstractEventDispatcher::instance()->registeredTimers(o).size());
    }

    CColorStatic display;
};

TEST(ColorStaticFresh, StartsWithDefaultsAndNoValue) {
    CColorStatic d;
    EXPECT_EQ(d.mode(), 1);
    EXPECT_TRUE(d.hasNoValue());
    EXPECT_EQ(d.ShownText(), QStringLiteral("???"));
    EXPECT_EQ(d.textColor(), QColor(0, 64, 128));
    EXPECT_EQ(d.backgroundColor(), QColor(202, 228, 255));
    EXPECT_EQ(d.fontDesc().height, 25);
    EXPECT_EQ(d.fontDesc().faceName, QStringLiteral("Arial"));
    EXPECT_EQ(d.fontDesc().charSet, 238);
    EXPECT_TRUE(d.units());
    EXPECT_FALSE(d.precision());
    EXPECT_FALSE(d.isBlinking());
}

TEST_F(ColorStaticTest, SameValueTwiceRepaintsOnce) {
    const int requests = display.repaintRequests();
    const int paints = display.paintCount();
    display.SetValue(21.456);
    display.SetValue(21.456);
    EXPECT_EQ(display.repaintRequests(), requests + 1);
    testsupport::ProcessEventsFor(30);
    EXPECT_EQ(display.paintCount(), paints + 1);
    EXPECT_EQ(display.ShownText(), QStringLiteral("21.46 \u00B0C"));
}

TEST_F(ColorStaticTest, NoValueThenSameValueShowsTheNumberAgain) {
    display.SetValue(20.0);
    display.SetNoValue();
    EXPECT_EQ(display.ShownText(), QStringLiteral("???"));
    const int requests = display.repaintRequests();
    display.SetValue(20.0);
    EXPECT_EQ(display.repaintRequests(), requests + 1);
    EXPECT_EQ(display.ShownText(), QStringLiteral("20.00 \u00B0C"));
}

TEST_F(ColorStaticTest, UnchangedSettersDoNotRepaint) {
    const int requests = display.repaintRequests();
    display.SetKinds(3, 3, true);
    display.SetPrecision(true);
    display.SetCaption(QStringLiteral("Temperatura"));
    display.SetFixedText(QString());
    display.SetMode(0);  // never repaints by itself
    EXPECT_EQ(display.repaintRequests(), requests);
    display.SetKinds(3, 3, false);
    display.SetPrecision(false);
    display.SetCaption(QStringLiteral("Wilgotność"));
    EXPECT_EQ(display.repaintRequests(), requests + 3);
}

TEST_F(ColorStaticTest, ModesChooseWhatIsShown) {
    display.SetFixedText(QStringLiteral("Pomiar"));
    display.SetMode(0);
    EXPECT_TRUE(display.hasNoValue());
    EXPECT_EQ(display.ShownText(), QStringLiteral("Pomiar"));
    display.SetMode(2);
    EXPECT_TRUE(display.ShownText().isEmpty());
    display.SetMode(1);
    display.SetValue(1.0);
    display.SetKinds(3, 9, true);
    EXPECT_TRUE(display.ShownText().isEmpty());
}

TEST_F(ColorStaticTest, BlinkOnTwiceRunsOneTimer) {
    const int before = TimersOf(&display);
    display.SetBlink(true);
    display.SetBlink(true);
    EXPECT_TRUE(display.isBlinking());
    EXPECT_EQ(TimersOf(&display), before + 1);
    display.SetBlink(false);
    EXPECT_FALSE(display.isBlinking());
    EXPECT_EQ(TimersOf(&display), before);
}

TEST_F(ColorStaticTest, BlinkOffWhileHiddenShowsTheValueAtOnce) {
    display.SetValue(21.5);
    display.SetBlink(true);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return display.isHiddenPhase(); }, 2000));
    EXPECT_TRUE(display.ShownText().isEmpty());
    const int requests = display.repaintRequests();
    display.SetBlink(false);
    EXPECT_FALSE(display.isHiddenPhase());
    EXPECT_EQ(display.repaintRequests(), requests + 1);
    EXPECT_EQ(display.ShownText(), QStringLiteral("21.50 \u00B0C"));
}

TEST_F(ColorStaticTest, BlinkingAlternatesPhases) {
    display.SetBlink(true);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return display.isHiddenPhase(); }, 2000));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !display.isHiddenPhase(); }, 2000));
    display.SetBlink(false);
}

TEST_F(ColorStaticTest, PaintsBandInTextColourAndValueBelow) {
    display.setBackgroundColor(QColor(255, 231, 206));
    display.setTextColor(QColor(66, 21, 0));
    display.SetValue(21.456);
    display.RefreshNow();
    const QImage img = Grab(&display, QStringLiteral("color_static_value"));
    const int band = display.CaptionBandHeight();
    ASSERT_GT(band, 10);
    ASSERT_LT(band, 60);
    // The band spans the whole width in the text colour; the caption inside it
    // is drawn in the background colour.
    EXPECT_EQ(img.pixelColor(1, 1), QColor(66, 21, 0));
    EXPECT_EQ(img.pixelColor(img.width() - 2, band - 2), QColor(66, 21, 0));
    EXPECT_GT(CountColor(img, QRect(0, 0, img.width(), band), QColor(255, 231, 206)), 10);
    // Below the band: background colour with the value in the text colour.
    EXPECT_EQ(img.pixelColor(1, band + 1), QColor(255, 231, 206));
    EXPECT_EQ(img.pixelColor(img.width() - 2, img.height() - 2), QColor(255, 231, 206));
    const QRect below(0, band, img.width(), img.height() - band);
    EXPECT_GT(CountColor(img, below, QColor(66, 21, 0)), 50);
}

TEST_F(ColorStaticTest, HiddenPhaseAndUnknownKindLeaveOnlyTheBackground) {
    display.SetValue(21.456);
    display.SetKinds(3, 0, true);
    QImage img = Grab(&display, QStringLiteral("color_static_unknown_kind"));
    const int band = display.CaptionBandHeight();
    const QRect below(0, band, img.width(), img.height() - band);
    EXPECT_EQ(CountColor(img, below, display.backgroundColor()), below.width() * below.height());

    display.SetKinds(3, 3, true);
    display.SetBlink(true);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return display.isHiddenPhase(); }, 2000));
    img = Grab(&display, QStringLiteral("color_static_hidden"));
    EXPECT_EQ(CountColor(img, below, display.backgroundColor()), below.width() * below.height());
    EXPECT_EQ(img.pixelColor(1, 1), display.textColor());
    display.SetBlink(false);
}

TEST_F(ColorStaticTest, RaisedTwoOfIrradiance) {
    display.SetKinds(1, 1, true);
    display.SetValue(512.3);
    const QImage img = Grab(&display, QStringLiteral("color_static_irradiance"));
    const int band = display.CaptionBandHeight();
    const QRect below(0, band, img.width(), img.height() - band);
    EXPECT_GT(CountColor(img, below, display.textColor()), 50);
}

TEST_F(ColorStaticTest, ColourPickersGoThroughPrompts) {
    ScopedPrompts prompts;
    prompts->colorAnswers.push_back(QColor(10, 20, 30));
    prompts->colorAnswers.push_back(std::nullopt);
    const QColor text = display.textColor();
    display.ChooseBackgroundColor();
    const int requests = display.repaintRequests();
    display.ChooseTextColor();
    ASSERT_EQ(prompts->colorRequests.size(), 2u);
    EXPECT_EQ(prompts->colorRequests[0].initial, QColor(202, 228, 255));
    EXPECT_EQ(display.backgroundColor(), QColor(10, 20, 30));
    EXPECT_EQ(display.textColor(), text);                // cancelled: unchanged
    EXPECT_EQ(display.repaintRequests(), requests + 1);  // repainted in every case
}

TEST_F(ColorStaticTest, FontPickerReplacesTheDescription) {
    ScopedPrompts prompts;
    QFont chosen(QStringLiteral("DejaVu Serif"));
    chosen.setPixelSize(40);
    chosen.setBold(true);
    prompts->fontAnswers.push_back(chosen);
    display.ChooseFont();
    EXPECT_EQ(display.fontDesc().height, -40);
    EXPECT_EQ(display.fontDesc().weight, 700);
    EXPECT_EQ(display.fontDesc().faceName, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(display.valueFont().pixelSize(), 40);

    const FontDesc before = display.fontDesc();
    display.ChooseFont();  // queue empty: cancelled
    ASSERT_EQ(prompts->fontRequests.size(), 2u);
    EXPECT_TRUE(prompts->fontRequests[1].defaulted);
    EXPECT_EQ(prompts->fontRequests[1].initial.pixelSize(), 40);
    EXPECT_EQ(display.fontDesc(), before);
}

}  // namespace
