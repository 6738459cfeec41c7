#include "platform/core/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace plat;

TEST(CodePage, AnsiUtf8RoundTripsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    std::string utf8 = AnsiToUtf8(all);
    EXPECT_EQ(Utf8ToAnsi(utf8), all);
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
}

TEST(CodePage, KnownAnsiCharacters) {
    struct Case { unsigned char ansi; char16_t uni; } cases[] = {
        {0x41, u'A'}, {0x80, u'\u20AC'}, {0x85, u'\u2026'}, {0x92, u'\u2019'},
        {0x9F, u'\u0178'}, {0xA9, u'\u00A9'}, {0xE9, u'\u00E9'}, {0x81, u'\u0081'},
    };
    for (auto c : cases) {
        EXPECT_EQ(AnsiCharToUnicode(c.ansi), c.uni) << int(c.ansi);
        EXPECT_EQ(UnicodeToAnsiChar(c.uni), c.ansi) << int(c.ansi);
    }
    EXPECT_EQ(UnicodeToAnsiChar(0x3B1), -1);  // Greek alpha
    EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC \xCE\xB1"), "caf\xE9 \x80 ?");
}

TEST(CodePage, MalformedUtf8BecomesFallbackWithoutOverrun) {
    EXPECT_EQ(Utf8ToAnsi("\xC3"), "?");
    EXPECT_EQ(Utf8ToAnsi("a\xE2\x82"), "a?");
    EXPECT_EQ(Utf8ToAnsi("\xFF\xFE"), "??");
    EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), "?");  // overlong slash
}

TEST(CodePage, OemAnsiRoundTripForEveryMappedByte) {
    int mapped = 0;
    for (int b = 0; b < 256; ++b) {
        unsigned char oem = static_cast<unsigned char>(b);
        unsigned char ansi = OemToAnsiChar(oem);
        if (UnicodeToAnsiChar(OemCharToUnicode(oem)) < 0) {
            EXPECT_EQ(ansi, '?') << b;
            continue;
        }
        ++mapped;
        EXPECT_EQ(AnsiToOemChar(ansi), oem) << b;
    }
    EXPECT_GT(mapped, 128 + 40);  // ASCII plus the Latin letters and signs
    EXPECT_EQ(OemToAnsiChar(0x82), 0xE9);  // e acute
    EXPECT_EQ(OemToAnsiChar(0x9A), 0xDC);  // U umlaut
    EXPECT_EQ(AnsiToOemChar(0xE4), 0x84);  // a umlaut
    EXPECT_EQ(OemToAnsi("\x81\x9C"), "\xFC\xA3");
}

TEST(CodePage, CharacterClassesAndCase) {
    struct Case { unsigned char c; bool alpha, upper, lower, digit; unsigned char up, low; } cases[] = {
        {'a', true, false, true, false, 'A', 'a'},
        {'Z', true, true, false, false, 'Z', 'z'},
        {'5', false, false, false, true, '5', '5'},
        {'-', false, false, false, false, '-', '-'},
        {0xE9, true, false, true, false, 0xC9, 0xE9},
        {0xDC, true, true, false, false, 0xDC, 0xFC},
        {0xFF, true, false, true, false, 0x9F, 0xFF},
        {0x8A, true, true, false, false, 0x8A, 0x9A},
        {0xDF, true, false, true, false, 0xDF, 0xDF},  // sharp s has no one-letter capital
        {0xD7, false, false, false, false, 0xD7, 0xD7},
    };
    for (auto c : cases) {
        EXPECT_EQ(IsCharAlpha(c.c), c.alpha) << int(c.c);
        EXPECT_EQ(IsCharUpper(c.c), c.upper) << int(c.c);
        EXPECT_EQ(IsCharLower(c.c), c.lower) << int(c.c);
        EXPECT_EQ(IsCharAlphaNumeric(c.c), c.alpha || c.digit) << int(c.c);
        EXPECT_EQ(CharUpper(c.c), c.up) << int(c.c);
        EXPECT_EQ(CharLower(c.c), c.low) << int(c.c);
    }
    EXPECT_EQ(AnsiUpperCase("Stra\xDF" "e \xE9t\xE9"), "STRA\xDF" "E \xC9T\xC9");
}

TEST(Collation, OrderOfTypicalKeys) {
    // Each string sorts strictly before the next, case-sensitively.
    std::vector<std::string> ordered = {
        "", " ", "!", "0", "9", "a", "A", "\xE1", "\xC1", "ab", "b", "cote", "c\xF4te", "e", "\xE9", "z", "zz",
    };
    for (std::size_t i = 0; i + 1 < ordered.size(); ++i)
        EXPECT_LT(CompareAnsi(ordered[i], ordered[i + 1], false), 0) << i;
}

TEST(Collation, IgnoreCaseEqualsOnlyCaseVariants) {
    EXPECT_EQ(CompareAnsi("TvrnMAIN.QVD", "TVRNMAIN.qvd", true), 0);
    EXPECT_NE(CompareAnsi("TvrnMAIN.QVD", "TVRNMAIN.qvd", false), 0);
    EXPECT_NE(CompareAnsi("cote", "c\xF4te", true), 0);
    EXPECT_EQ(CompareAnsi("\xE9t\xE9", "\xC9T\xC9", true), 0);
    EXPECT_EQ(CompareStringA(NORM_IGNORECASE, "abc", -1, "ABC", 3), CSTR_EQUAL);
    EXPECT_EQ(CompareStringA(0, "abc", -1, "abd", -1), CSTR_LESS_THAN);
    EXPECT_EQ(CompareStringA(0, nullptr, -1, "abd", -1), 0);
    EXPECT_EQ(CompareStringW(NORM_IGNORECASE, u"Hilfe", -1, u"HILFE", -1), CSTR_EQUAL);
}

TEST(Collation, TotalAndStableOverRandomStrings) {
    std::mt19937 rng(7);
    const std::string alphabet = "aAbB\xE9\xC9z0 -_\xDF\xFF";
    std::vector<std::string> v;
    for (int i = 0; i < 400; ++i) {
        std::string s;
        for (int n = rng() % 5; n > 0; --n) s += alphabet[rng() % alphabet.size()];
        v.push_back(s);
    }
    for (bool ic : {false, true}) {
        for (std::size_t i = 0; i < 60; ++i)
            for (std::size_t j = 0; j < 60; ++j) {
                int ab = CompareAnsi(v[i], v[j], ic), ba = CompareAnsi(v[j], v[i], ic);
                EXPECT_EQ(ab, -ba);
                if (!ic) {
                    EXPECT_EQ(ab == 0, v[i] == v[j]);
                }
                for (std::size_t k = 0; k < 60; k += 7) {
                    // transitivity
                    if (ab <= 0 && CompareAnsi(v[j], v[k], ic) <= 0) {
                        EXPECT_LE(CompareAnsi(v[i], v[k], ic), 0);
                    }
                }
            }
        auto sorted = v;
        std::stable_sort(sorted.begin(), sorted.end(), [&](auto& a, auto& b) { return CompareAnsi(a, b, ic) < 0; });
        for (std::size_t i = 0; i + 1 < sorted.size(); ++i) EXPECT_LE(CompareAnsi(sorted[i], sorted[i + 1], ic), 0);
    }
}
