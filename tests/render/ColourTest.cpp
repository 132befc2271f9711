// SPDX-License-Identifier: GPL-3.0-or-later
// The chained colour sweep a pass runs, against formulas computed
// independently in double precision, from every storage.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "render/ColourStages.h"
#include "render/EffectsTestSupport.h"
#include "render/FastMath.h"

namespace lumetra {
namespace {

struct Px {
    double r, g, b;
};

double Luma(const Px& p) {
    return 0.2125 * p.r + 0.7154 * p.g + 0.0721 * p.b;
}

template <class F>
Px Each(const Px& p, F f) {
    return {f(p.r), f(p.g), f(p.b)};
}

// Through the chroma's polar form.
Px Hue(const Px& p, double degrees) {
    const double y = 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
    const double i = 0.595716 * p.r - 0.274453 * p.g - 0.321263 * p.b;
    const double q = 0.211456 * p.r - 0.522591 * p.g + 0.31135 * p.b;
    const double chroma = std::hypot(i, q);
    const double angle = std::atan2(q, i) - std::fmod(degrees, 360.0) * M_PI / 180.0;
    const double i2 = chroma * std::cos(angle), q2 = chroma * std::sin(angle);
    return {y + 0.9563 * i2 + 0.6210 * q2, y - 0.2721 * i2 - 0.6474 * q2,
            y - 1.1070 * i2 + 1.7046 * q2};
}

Px Sepia(const Px& p, double k) {
    const Px s{0.3588 * p.r + 0.7044 * p.g + 0.1368 * p.b,
               0.2990 * p.r + 0.5870 * p.g + 0.1140 * p.b,
               0.2392 * p.r + 0.4696 * p.g + 0.0912 * p.b};
    return {p.r + (s.r - p.r) * k, p.g + (s.g - p.g) * k, p.b + (s.b - p.b) * k};
}

struct ColourCase {
    const char* name;
    ColourStages stages;
    std::function<Px(const Px&)> expected;
};

ColourStages With(void (*set)(ColourStages&)) {
    ColourStages c;
    set(c);
    return c;
}

const ColourCase kCases[] = {
    {"brightness", With([](ColourStages& c) { c.brightness = 0.25f; }),
     [](const Px& p) { return Each(p, [](double c) { return c + 0.25; }); }},
    {"exposure", With([](ColourStages& c) { c.exposure = 1.5f; }),
     [](const Px& p) { return Each(p, [](double c) { return c * 2.828427125; }); }},
    {"contrast", With([](ColourStages& c) { c.contrast = 1.8f; }),
     [](const Px& p) { return Each(p, [](double c) { return c * 1.8 - 0.4; }); }},
    {"grey", With([](ColourStages& c) { c.saturation = 0.f; }),
     [](const Px& p) { return Each(p, [&](double) { return Luma(p); }); }},
    {"saturation", With([](ColourStages& c) { c.saturation = 1.6f; }),
     [](const Px& p) { return Each(p, [l = Luma(p)](double c) { return l + (c - l) * 1.6; }); }},
    {"gamma", With([](ColourStages& c) { c.gamma = 2.2f; }),
     [](const Px& p) { return Each(p, [](double c) { return std::pow(c, 2.2); }); }},
    {"gamma_below_one", With([](ColourStages& c) { c.gamma = 0.45f; }),
     [](const Px& p) { return Each(p, [](double c) { return std::pow(c, 0.45); }); }},
    {"hue_400", With([](ColourStages& c) { c.hue = 400.f; }),
     [](const Px& p) { return Hue(p, 40.0); }},
    {"hue_negative", With([](ColourStages& c) { c.hue = -30.f; }),
     [](const Px& p) { return Hue(p, -30.0); }},
    {"balance", With([](ColourStages& c) { c.red = 0.5f, c.blue = 2.f; }),
     [](const Px& p) {
         return Px{p.r * 0.5, p.g, p.b * 2.0};
     }},
    {"black_white", With([](ColourStages& c) { c.blackWhite = true; }),
     [](const Px& p) { return Each(p, [&](double) { return Luma(p); }); }},
    {"half_sepia", With([](ColourStages& c) { c.sepia = true, c.sepiaIntensity = 0.5f; }),
     [](const Px& p) { return Sepia(p, 0.5); }},
};

class ColourFormula : public ::testing::TestWithParam<ColourCase> {};

// 8-bit pictures in either byte order and float ones (a swapped channel
// shows up here); alpha is kept, the input never changed.
TEST_P(ColourFormula, ChainedSweepMatchesTheFormulaFromEveryStorage) {
    const ColourCase& c = GetParam();
    const QImage source = test::PhotoLike(1500, 3, true);  // rows end mid-piece
    const Image argb = Image::FromQImage(source);
    for (const Image& input :
         {argb, Image::FromQImage(source.convertToFormat(QImage::Format_RGBA8888)),
          test::DeepCopy(argb)}) {
        const Image before = test::DeepCopy(input);
        const Image out = ApplyColourStages(input, c.stages);
        ASSERT_EQ(test::MaxDifference(input, before), 0.f);
        double worst = 0;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 1500; x += 7) {
                const test::Rgba i = test::PixelAt(input, x, y), o = test::PixelAt(out, x, y);
                const Px w = c.expected({i.r, i.g, i.b});
                ASSERT_EQ(o.a, i.a);
                for (const auto& [got, want] : {std::pair{o.r, w.r}, {o.g, w.g}, {o.b, w.b}})
                    worst = std::max(worst, std::abs(got - std::clamp(want, 0.0, 1.0)));
            }
        EXPECT_LT(worst, 2e-5) << input.isFloat();
    }
    EXPECT_TRUE(ApplyColourStages(argb, ColourStages{}).sharesPixelsWith(argb));
}

INSTANTIATE_TEST_SUITE_P(Colour, ColourFormula, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Colour, FastPowerFollowsTheLibraryOverTheUnitRange) {
    double worst = 0.0;
    for (const float g : {0.f, 0.1f, 0.45f, 1.f, 1.7f, 2.2f, 3.f})
        for (int i = 0; i <= 1000; ++i)
            worst = std::max(worst, std::abs(FastPow01(i / 1000.f, g) - std::pow(i / 1000.0, g)));
    EXPECT_LT(worst, 2e-6);
}

}  // namespace
}  // namespace lumetra
