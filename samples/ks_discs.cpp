// Komputer Świat discs: Ekspert with and without the installer (paragraph and division page
// layouts) and Twój Niezbędnik (title layout). Pages are ISO 8859-2, as on the real discs.
#include <string>

#include "disc_writer.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace samples {

namespace {

struct ProgramPage {
    const char* file;
    const char* title;  // name and version as the page gives them
    const char* description;
    const char* licence;  // the text behind the licence marker
};

// One page per licence word, a few without a known word, one whose description is only "program".
// The letters ą, ś and Ś are in ISO 8859-2 (B1, B6, A6); the import turns them into Windows-1250.
constexpr ProgramPage kPrograms[] = {
    {"archiwizer.htm", "Archiwizer v.5.01", "Kompresja plik\xF3w ZIP i RAR.", "Trial"},
    {"biuro.htm", "Pakiet Biurowy 2000/XP 7.0", "Edytor tekstu, arkusz kalkulacyjny i prezentacje.", "Pe\xB3na"},
    {"fotolab.htm", "FotoLab 2004 1.5", "Obr\xF3" "bka zdj\xEA\xE6 cyfrowych.", "Demonstracyjna"},
    {"instalator.htm", "Instalator 1.0", "program", "Freeware"},
    {"ksiegowosc.htm", "Ksi\xEAgowo\xB6\xE6 Firmy 4in1 2.3", "Ewidencja przychod\xF3w i rozchod\xF3w.", "Ewaluacyjna"},
    {"kulki.htm", "Kulki 95/98 1.4", "Gra logiczna: u\xB3\xF3\xBF kulki w rz\xEA" "dy.", "Freeware"},
    {"narzedzia.htm", "Narz\xEA" "dzia sieciowe 0.9.7", "Zestaw program\xF3w do diagnostyki sieci.", "GPL"},
    {"notatnik.htm", "Notatnik Plus v3.2", "Prosty edytor tekstu z pod\xB6wietlaniem sk\xB3" "adni.", "Shareware"},
    {"pogoda.htm", "Pogoda na pulpicie 2.0", "Prognoza pogody dla ca\xB3" "ego \xB6wiata.", "Adware"},
    {"slownik.htm", "S\xB3ownik angielsko-polski 2.0", "\xA6wietny s\xB3ownik z wymow\xB1.", "Pe\xB3na wersja"},
    {"tapety.htm", "Tapety \xA6wi\xB1teczne", "Zestaw tapet na pulpit.", ""},
    {"wyscigi.html", "Wy\xB6" "cigi 3D 1.0", "Demo gry wy\xB6" "cigowej.", "Demo"},
    {"zegar.htm", "Zegar atomowy 1.2", "Synchronizacja czasu z serwerem.", "Freeware (reklamy)"},
};

constexpr char kPageFolder[] = "datalo/htm/";
constexpr char kHead[] =
    "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-2\">\r\n";
constexpr char kAutorun[] = "[autorun]\r\nopen=start.exe\r\nicon=autorun.ico\r\n";
constexpr char kDescriptionMarker[] =
    "<font face=\"Arial\" size=\"2\" ><div style=\"margin-top: 10 ; margin-left : 6px; margin-right : 6px;\" >";

std::string LicenceLine(const ProgramPage& page) {
    return std::string("<b>Licencja:</b> <span class=licencja_text>") + page.licence + "</span>\r\n";
}

std::string ParagraphPage(const ProgramPage& page) {
    return std::string(kHead) + "<title>" + page.title + "</title>\r\n</head>\r\n<body>\r\n" +
           "<p class=\"nazwa\">" + page.title + "</p>\r\n" + "<p class=\"opis\">" + page.description + "</p>\r\n" +
           LicenceLine(page) + "</body>\r\n</html>\r\n";
}

std::string DivisionPage(const ProgramPage& page) {
    return std::string(kHead) + "<title>Komputer \xA6wiat Ekspert</title>\r\n</head>\r\n<body>\r\n" +
           "<div id=l_nazwaprogramu ><FONT face=\"Verdana\" size=\"3\">" + page.title + "</FONT></div>\r\n" +
           "<p class=\"opis\">" + page.description + "</p>\r\n" + LicenceLine(page) + "</body>\r\n</html>\r\n";
}

std::string TitlePage(const ProgramPage& page) {
    return std::string(kHead) + "<TITLE>" + page.title + "</TITLE>\r\n</HEAD>\r\n<BODY>\r\n" + kDescriptionMarker +
           "\r\n" + page.description + "<br>\r\n" + LicenceLine(page) + "</div></font>\r\n</BODY>\r\n</HTML>\r\n";
}

// Pages of the folder that describe no program.
std::string PlainPage(const char* title, const char* body) {
    return std::string(kHead) + "<title>" + title + "</title>\r\n</head>\r\n<body>\r\n" + body +
           "\r\n</body>\r\n</html>\r\n";
}

template <typename Layout>
void WritePrograms(DiscWriter& disc, Layout layout) {
    for (const ProgramPage& page : kPrograms) {
        disc.File(std::string(kPageFolder) + page.file, layout(page));
    }
}

void MakeEkspertWithInstaller(const std::filesystem::path& root) {
    DiscWriter disc(root);
    disc.Label("KS_EKSP0405");
    disc.File("tarvo.ico", "ICO");
    disc.File("autorun.inf", kAutorun);
    disc.File("instaluj.exe", "MZ");
    WritePrograms(disc, ParagraphPage);
    // On these discs every page of the folder is a program page, these two as well.
    disc.File(std::string(kPageFolder) + "head.htm",
              ParagraphPage({"", "Komputer \xA6wiat Ekspert 4/2005", "Spis tre\xB6" "ci p\xB3yty.", ""}));
    disc.File(std::string(kPageFolder) + "help.htm",
              ParagraphPage({"", "Pomoc 1.0", "Jak korzysta\xE6 z p\xB3yty.", "Freeware"}));
}

void MakeEkspertWithoutInstaller(const std::filesystem::path& root) {
    DiscWriter disc(root);
    disc.Label("KS_EKSP0405");
    disc.File("tarvo.ico", "ICO");
    disc.File("autorun.inf", kAutorun);
    WritePrograms(disc, DivisionPage);
    const std::string folder = kPageFolder;
    disc.File(folder + "head.htm", PlainPage("Nag\xB3\xF3wek", "<img src=\"../img/logo.gif\">"));
    disc.File(folder + "szukanie.htm",
              PlainPage("Szukanie", "<form action=\"szukaj\"><input name=\"q\"></form>"));
    disc.File(folder + "HELP.HTM", PlainPage("Pomoc", "<p class=\"opis\">Jak korzysta\xE6 z p\xB3yty.</p>"));
    disc.File(folder + "poczatek.htm", PlainPage("Pocz\xB1tek", "<frameset cols=\"200,*\"></frameset>"));
    disc.File(folder + "poczatek.html", PlainPage("Pocz\xB1tek", "<frameset cols=\"200,*\"></frameset>"));
}

void MakeNiezbednik(const std::filesystem::path& root) {
    DiscWriter disc(root);
    disc.Label("KS_NIEZ0607");
    disc.File("ks.ico", "ICO");
    disc.File("autorun.inf", kAutorun);
    disc.File("instaluj.exe", "MZ");
    WritePrograms(disc, TitlePage);
    const std::string folder = kPageFolder;
    disc.File(folder + "archiwum.htm", PlainPage("Archiwum", "<ul><li>2006</li><li>2007</li></ul>"));
    disc.File(folder + "blank.htm", "<html><body></body></html>\r\n");
    disc.File(folder + "nowy.html", PlainPage("Nowo\xB6" "ci", "<p>Nowe programy</p>"));
    disc.File(folder + "wertowik.htm", PlainPage("Wertowik", "<p>Katalog p\xB3yt</p>"));
    disc.File(folder + "wertowik_prog.htm", PlainPage("Wertowik", "<p>Katalog program\xF3w</p>"));
}

}  // namespace

void MakeKsDiscs(const std::filesystem::path& out) {
    MakeEkspertWithInstaller(out / "ks-ekspert");
    MakeEkspertWithoutInstaller(out / "ks-ekspert-no-installer");
    MakeNiezbednik(out / "ks-niezbednik");
}

}  // namespace samples
