// Fonts of the device and text measured with them, against the faces' own glyph advances.
#include "UIKit/Text/Typesetter.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The width of `ascii` in the face at `file`, from its unscaled advances: what a typesetter that
// reads the right face at the right size must come close to (kerning makes up the difference).
double advanceWidth(const std::string& file, const std::string& ascii, double size) {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        return -1;
    }
    double units = 0;
    double perEm = 1;
    if (FT_New_Face(library, file.c_str(), 0, &face) == 0) {
        perEm = face->units_per_EM;
        for (unsigned char c : ascii) {
            const FT_UInt glyph = FT_Get_Char_Index(face, c);
            if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) == 0) {
                units += static_cast<double>(face->glyph->advance.x);
            }
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return units / perEm * size;
}

TEST(Fonts, IosNamesResolveToTheDevicesClosestFaces) {
    text::Typesetter& fonts = text::Typesetter::shared();
    for (const char* light : {"HelveticaNeue-Light", "Helvetica Light"}) {
        const auto face = fonts.resolve(light);
        ASSERT_TRUE(face) << light;
        EXPECT_EQ(face->family, "Roboto") << light;
        EXPECT_NE(face->file.find("Roboto-Light"), std::string::npos) << face->file;
    }
    for (const char* regular : {"Helvetica", "HelveticaNeue", ".HelveticaNeueInterface-Regular"}) {
        const auto face = fonts.resolve(regular);
        ASSERT_TRUE(face) << regular;
        EXPECT_EQ(face->family, "TeX Gyre Heros") << regular;
        EXPECT_EQ(face->style, "Regular") << regular;
    }
    const auto bold = fonts.resolve("Helvetica-Bold");
    ASSERT_TRUE(bold);
    EXPECT_EQ(bold->style, "Bold");
    // As on the device, a name it has no font for is no font at all.
    EXPECT_FALSE(fonts.resolve("Papyrus-Condensed"));
    EXPECT_FALSE(fonts.resolve(""));
    EXPECT_FALSE(fonts.resolve(std::string("Helvetica\0Light", 15)));
}

TEST(Fonts, OneLineOfTextMeasuresAsItsFaceSetsIt) {
    text::Typesetter& fonts = text::Typesetter::shared();
    struct Case {
        const char* font;
        const char* text;
        double size;
    };
    for (const Case& c : {Case{"HelveticaNeue-Light", "Glintmere", 36},
                          Case{"HelveticaNeue-Light", "Easily Change Your Wallpaper!", 17},
                          Case{"Helvetica Light", "Jane Appleseed", 20},
                          Case{"Helvetica", "Thank you for the support.", 15}}) {
        const auto face = fonts.resolve(c.font);
        ASSERT_TRUE(face);
        const double expected = advanceWidth(face->file, c.text, c.size);
        ASSERT_GT(expected, 0) << face->file;
        const text::Extent extent = fonts.measure(c.text, {c.font, c.size, 1, text::Alignment::Center});
        EXPECT_NEAR(extent.width, expected, expected * 0.03) << c.font << " " << c.text;
        // One line: about as high as the size (ascender plus descender), baseline near the top.
        EXPECT_EQ(extent.lines, 1);
        EXPECT_GT(extent.height, c.size * 1.0) << c.text;
        EXPECT_LT(extent.height, c.size * 1.45) << c.text;
        EXPECT_GT(extent.baseline, c.size * 0.7) << c.text;
        EXPECT_LT(extent.baseline, extent.height) << c.text;
        // Twice the size is twice the width: sizes are points, not pixels at some resolution.
        const text::Extent twice = fonts.measure(c.text, {c.font, 2 * c.size, 1, text::Alignment::Left});
        EXPECT_NEAR(twice.width, 2 * extent.width, extent.width * 0.01) << c.text;
    }
}

TEST(Fonts, LongTextWrapsWithinItsWidthAndItsLineCount) {
    text::Typesetter& fonts = text::Typesetter::shared();
    const std::string words = "You Can Include However Many You Want, and they wrap at the width given";
    const text::Extent one = fonts.measure("You", {"Helvetica", 15, 1, text::Alignment::Left});
    const text::Extent all = fonts.measure(words, {"Helvetica", 15, 0, text::Alignment::Left}, 100);
    EXPECT_GT(all.lines, 3);
    EXPECT_LE(all.width, 100.0);
    EXPECT_NEAR(all.height, all.lines * one.height, one.height * 0.5);
    const text::Extent two = fonts.measure(words, {"Helvetica", 15, 2, text::Alignment::Left}, 100);
    EXPECT_EQ(two.lines, 2);
    EXPECT_LT(two.height, all.height);

    EXPECT_EQ(fonts.measure("", {"Helvetica", 15, 1, text::Alignment::Left}).width, 0);
    EXPECT_EQ(fonts.measure("", {"Helvetica", 15, 1, text::Alignment::Left}).height, 0);
    // Bytes that are not UTF-8, and sizes that are not sizes, are measured rather than fatal.
    EXPECT_GT(fonts.measure("caf\xe9\xff", {"Helvetica", 15, 1, text::Alignment::Left}).width, 0);
    EXPECT_GT(fonts.measure("x", {"Helvetica", std::nan(""), 1, text::Alignment::Left}).width, 0);
    EXPECT_GT(fonts.measure("x", {"Helvetica", 1e300, 1, text::Alignment::Left}, 1e300).width, 0);
}

} // namespace
