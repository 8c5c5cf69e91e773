// Name-and-version text and description cut out of program pages.
#include "text/page_fields.h"

#include <gtest/gtest.h>

#include <string>

namespace wtk::text {
namespace {

const std::string kDescriptionMarker =
    "<font face=\"Arial\" size=\"2\" ><div style=\"margin-top: 10 ; margin-left : 6px; margin-right : 6px;\" >";

struct FieldsCase {
    const char* what;
    std::string page;
    std::string nameVersion;
    std::string description;
};

void ExpectFields(PageLayout layout, const FieldsCase& c) {
    SCOPED_TRACE(c.what);
    std::string nameVersion = "previous";
    std::string description = "previous";
    ExtractProgramFields(c.page, layout, nameVersion, description);
    EXPECT_EQ(nameVersion, c.nameVersion);
    EXPECT_EQ(description, c.description);
}

TEST(DivisionLayout, NameElementThenNextParagraph) {
    const FieldsCase cases[] = {
        {"ordinary page",
         "<html><body>\r\n<div id=l_nazwaprogramu ><FONT face=Arial>Foo 1.0</FONT></div>\r\n"
         "<p class=opis>A tool.</p>\r\n</body></html>\r\n",
         "Foo 1.0", "A tool."},
        {"description trimmed, name not",
         "<div id=l_nazwaprogramu ><FONT size=2> Foo 1.0  </FONT>\r\n<p >\r\n\t  Opis  \r\n</p>\r\n", " Foo 1.0  ",
         "Opis"},
        {"earlier paragraphs do not count", "<p >Menu</p><div id=l_nazwaprogramu ><FONT>Bar</FONT><p x>Opis</p>\r\n",
         "Bar", "Opis"},
        {"only closing tags after the name paragraph",
         "<div id=l_nazwaprogramu ><FONT>Bar</FONT><p x></p></div></body>\r\n", "Bar", ""},
        {"no paragraph behind the name: the text behind the name's closing tag",
         "<div id=l_nazwaprogramu ><FONT x>Foo 1.0</FONT>Opis bez akapitu</div>\r\n", "Foo 1.0", "Opis bez akapitu"},
        {"no division marker: from character 27 of the page",
         std::string(26, 'x') + "O face=x>Bar 2</b><p >Opis</p>\r\n", "Bar 2", "Opis"},
        {"no tag end anywhere behind the marker", "<div id=l_nazwaprogramu ><FONT Foo\r\n", "ONT Foo\r", "ONT Foo"},
        {"page ends inside the marker: from character 27 up to the last but one", "<div id=l_nazwaprogramu ><FO", "F",
         ""},
        {"empty page", "", "", ""},
    };
    for (const FieldsCase& c : cases) {
        ExpectFields(PageLayout::Division, c);
    }
}

TEST(ParagraphLayout, FirstParagraphThenNextParagraph) {
    const FieldsCase cases[] = {
        {"ordinary page",
         "<html><body>\r\n<p class=t>Foo 1.0</p>\r\n<p class=d>\r\n  Opis.\r\n</p>\r\n</body></html>\r\n", "Foo 1.0",
         "Opis."},
        {"upper-case and tagless paragraphs are no paragraphs",
         "<P class=x>Nie</P><pre>Nie</pre><p >Foo 2</p><P >Nie</P><p >Opis</p>\r\n", "Foo 2", "Opis"},
        {"name keeps its blanks", "<p a=b>  Foo 1.0 \t</p><p c=d> Opis </p>\r\n", "  Foo 1.0 \t", "Opis"},
        {"only closing tags after the name paragraph", "<p >Foo</p><p ></p></body>\r\n", "Foo", ""},
        {"no paragraph: the whole page, its last character included", "x>Foo", "Foo", "Fo"},
        {"no paragraph, one line", "<b>Foo</b>\r\n", "Foo", ""},
        {"no second paragraph", "<p >Foo</p>Opis<br>\r\n", "Foo", "Opis"},
    };
    for (const FieldsCase& c : cases) {
        ExpectFields(PageLayout::Paragraph, c);
    }
}

TEST(TitleLayout, TitleThenTextBehindTheLongMarker) {
    const std::string head = "<HTML><HEAD><TITLE>Foo 1.0</TITLE></HEAD><BODY>\r\n";
    // The marker with the space after "10" left out, which makes it another text.
    std::string nearMarker = kDescriptionMarker;
    nearMarker.erase(nearMarker.find("10 ;") + 2, 1);

    const std::string lowerCasePage =
        "<html><head><title>Foo 1.0</title></head><body>\r\n" + kDescriptionMarker + "Opis<br>\r\n</body>\r\n";
    const FieldsCase cases[] = {
        {"ordinary page", head + kDescriptionMarker + "  Opis programu.<br>\r\n</BODY></HTML>\r\n", "Foo 1.0",
         "Opis programu."},
        {"description across lines", head + "<p>Inne</p>" + kDescriptionMarker + "\r\n\tOpis\r\nprogramu\r\n</div>\r\n",
         "Foo 1.0", "Opis\r\nprogramu"},
        {"name keeps its blanks", "<HTML><TITLE> Foo 1.0 </TITLE>" + kDescriptionMarker + "Opis<br>\r\n", " Foo 1.0 ",
         "Opis"},
        {"nothing but tags behind the marker", head + kDescriptionMarker + "</div></font>\r\n", "Foo 1.0", ""},
        {"lower-case title tags: from character 7 up to the page's last character but one", lowerCasePage,
         lowerCasePage.substr(6, lowerCasePage.size() - 7), "Opis"},
        {"lower-case opening tag, upper-case closing tag",
         "<html><title>Foo</TITLE>" + kDescriptionMarker + "Opis<br>\r\n", "<title>Foo", "Opis"},
        {"no marker: the first 98 characters behind the title start are dropped",
         "<TITLE>Foo</TITLE>" + std::string(87, 'x') + "Opis<br>\r\n", "Foo", "Opis"},
        {"a marker that differs by one space is not the marker",
         "<TITLE>Foo</TITLE>" + std::string(87, 'x') + "Opis<br>" + nearMarker + "Inny<br>\r\n", "Foo", "Opis"},
        {"no marker, short page", "<TITLE>Foo</TITLE>Opis\r\n", "Foo", ""},
        {"empty page", "", "", ""},
    };
    for (const FieldsCase& c : cases) {
        ExpectFields(PageLayout::Title, c);
    }
}

TEST(PageLayouts, PolishLettersAreConverted) {
    // ISO 8859-2 "Świat ąś" in the name, "Opis ą" in the description with B1 as its last byte.
    const FieldsCase division{"division",
                              "<div id=l_nazwaprogramu ><FONT x>\xA6wiat \xB1\xB6</FONT><p >\xB6Opis \xB1</p>\r\n",
                              "\x8Cwiat \xB9\x9C", "\x9COpis \xB9"};
    const FieldsCase paragraph{"paragraph", "<p >\xA6wiat \xB1\xB6</p><p >\xB6Opis \xB1</p>\r\n", "\x8Cwiat \xB9\x9C",
                               "\x9COpis \xB9"};
    const FieldsCase title{"title", "<TITLE>\xA6wiat \xB1\xB6</TITLE>" + kDescriptionMarker + "\xB6Opis \xB1<br>\r\n",
                           "\x8Cwiat \xB9\x9C", "\x9COpis \xB9"};
    ExpectFields(PageLayout::Division, division);
    ExpectFields(PageLayout::Paragraph, paragraph);
    ExpectFields(PageLayout::Title, title);

    // A1 and BC (Ą and ź in ISO 8859-2) are left alone.
    const FieldsCase untouched{"other letters", "<p >\xA1\xBC</p><p >\xBC\xA1</p>\r\n", "\xA1\xBC", "\xBC\xA1"};
    ExpectFields(PageLayout::Paragraph, untouched);
}

TEST(PageLayouts, PagesLongerThan65535Characters) {
    const std::string filler(70000, 'x');
    const std::string longDescription(70000, 'd');
    ExpectFields(
        PageLayout::Division,
        {"division marker far into the page",
         filler + "<div id=l_nazwaprogramu ><FONT x>Foo 1.0</FONT>" + filler + "<p >Opis</p>\r\n", "Foo 1.0", "Opis"});
    ExpectFields(PageLayout::Division, {"long description without a tag behind it",
                                        "<div id=l_nazwaprogramu ><FONT x>Foo</FONT><p >" + longDescription + "\r\n",
                                        "Foo", longDescription});
    ExpectFields(PageLayout::Paragraph, {"paragraphs far into the page",
                                         filler + "<p >Foo 1.0</p>" + filler + "<p >Opis</p>\r\n", "Foo 1.0", "Opis"});
    ExpectFields(PageLayout::Paragraph, {"long name", "<p >" + filler + "</p><p >Opis</p>\r\n", filler, "Opis"});
    ExpectFields(PageLayout::Title,
                 {"marker far into the page",
                  "<TITLE>Foo 1.0</TITLE>" + filler + kDescriptionMarker + longDescription + "<br>\r\n", "Foo 1.0",
                  longDescription});
    ExpectFields(PageLayout::Title,
                 {"title far into the page", filler + "<TITLE>Foo</TITLE>" + kDescriptionMarker + "Opis<br>\r\n", "Foo",
                  "Opis"});
}

TEST(FixPolishLetters, ConvertsExactlyThreeBytes) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    std::string converted = all;
    FixPolishLetters(converted);
    ASSERT_EQ(converted.size(), 256u);
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        const unsigned char out = static_cast<unsigned char>(converted[static_cast<std::size_t>(byte)]);
        switch (byte) {
            case 0xB1: EXPECT_EQ(out, 0xB9); break;
            case 0xB6: EXPECT_EQ(out, 0x9C); break;
            case 0xA6: EXPECT_EQ(out, 0x8C); break;
            default: EXPECT_EQ(out, byte);
        }
    }

    std::string empty;
    FixPolishLetters(empty);
    EXPECT_EQ(empty, "");

    std::string ends = "\xB1x\xB1";
    FixPolishLetters(ends);
    EXPECT_EQ(ends, "\xB9x\xB9");
}

}  // namespace
}  // namespace wtk::text
