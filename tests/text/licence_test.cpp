// Licence words and their place on a program page.
#include "text/licence.h"

#include <gtest/gtest.h>

#include <string>

namespace wtk::text {
namespace {

struct WordCase {
    std::string word;
    TLicenceKind kind;
};

TEST(ClassifyLicence, WholeWordsAfterLowerCasingAtoZ) {
    const WordCase cases[] = {
        {"shareware", lkShareware},
        {"Shareware", lkShareware},
        {"SHAREWARE", lkShareware},
        {"freeware", lkFreeware},
        {"FreeWare", lkFreeware},
        {"adware", lkAdware},
        {"Adware", lkAdware},
        {"demonstracyjna", lkDemo},
        {"DEMONSTRACYJNA", lkDemo},
        {"demo", lkDemo},
        {"Demo", lkDemo},
        {"DEMO", lkDemo},
        {"pe\xB3na", lkFull},
        {"Pe\xB3na", lkFull},
        {"PE\xA3NA", lkUnspecified},  // the capital L with stroke is no ASCII letter and stays
        {"pe\xB3na wersja", lkFull},
        {"Pe\xB3na Wersja", lkFull},
        {"pe\xB3na  wersja", lkUnspecified},
        {"ewaluacyjna", lkTrial},
        {"Trial", lkTrial},
        {"gpl", lkGpl},
        {"GPL", lkGpl},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(ClassifyLicence(c.word), c.kind);
    }
}

TEST(ClassifyLicence, AnythingElseIsUnspecified) {
    const char* const words[] = {
        "",           "Freeware (reklamy)", "demoversion", "demonstracyjn",
        " freeware",  // no trimming here
        "freeware\r", "pe&#322;na",         "pelna",       "licencja",
    };
    for (const char* word : words) {
        SCOPED_TRACE(word);
        EXPECT_EQ(ClassifyLicence(word), lkUnspecified);
    }
}

struct PageCase {
    const char* what;
    std::string page;
    TLicenceKind kind;
};

TEST(ExtractLicenceKind, TextBehindTheMarker) {
    const PageCase cases[] = {
        {"trimmed, then classified", "<td class=licencja_text> Freeware </td>\r\n", lkFreeware},
        {"line breaks around the word", "<td class=licencja_text>\r\n\tShareware\r\n</td>\r\n", lkShareware},
        {"Polish word", "<b class=licencja_text>Pe\xB3na wersja</b>\r\n", lkFull},
        {"marker directly before a tag", "<td class=licencja_text></td> freeware\r\n", lkUnspecified},
        {"the first marker counts", "licencja_text>demo<br>licencja_text>gpl<br>\r\n", lkDemo},
        {"marker is case-sensitive", "0123456789012LICENCJA_TEXT>gpl<br>\r\n", lkUnspecified},
        {"entity not decoded", "<i licencja_text>pe&#322;na</i>\r\n", lkUnspecified},
        {"phrase must be whole", "<i licencja_text>Freeware (reklamy)</i>\r\n", lkUnspecified},
        {"no tag behind: up to the page's last character", "licencja_text>gpl\n", lkGpl},
        {"the page's last character is not part of it", "licencja_text>gpl", lkUnspecified},
        {"nothing behind the marker", "licencja_text>", lkUnspecified},
        {"empty page", "", lkUnspecified},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExtractLicenceKind(c.page), c.kind);
    }
}

TEST(ExtractLicenceKind, WithoutMarkerTheTextStartsAtCharacter14) {
    const PageCase cases[] = {
        {"character 14 starts the word", "0123456789012freeware<b>\r\n", lkFreeware},
        {"one character earlier", "012345678901freeware<b>\r\n", lkUnspecified},
        {"blank before the word is trimmed", "0123456789012 \tdemo <b>\r\n", lkDemo},
        {"ordinary page", "<html><head><title>Foo</title></head></html>\r\n", lkUnspecified},
        {"word up to the page's end", "0123456789012gpl\n", lkGpl},
        {"the page's last character is cut off", "0123456789012gpl", lkUnspecified},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExtractLicenceKind(c.page), c.kind);
    }
}

TEST(ExtractLicenceKind, PagesLongerThan65535Characters) {
    const std::string filler(70000, 'x');
    const PageCase cases[] = {
        {"marker far into the page", filler + "<td class=licencja_text>Trial</td>\r\n", lkTrial},
        {"word far behind the marker, no tag", "licencja_text>" + std::string(70000, ' ') + "demo \r\n", lkDemo},
        {"word far behind the marker, then a tag", "licencja_text>\r\n" + std::string(66000, '\n') + "gpl</td>\r\n",
         lkGpl},
        {"without marker the text runs to the next tag", "0123456789012" + filler + "<b>freeware\r\n", lkUnspecified},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExtractLicenceKind(c.page), c.kind);
    }
}

}  // namespace
}  // namespace wtk::text
