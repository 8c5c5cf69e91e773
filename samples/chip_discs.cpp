// CHIP discs of both generations: the browser layout with its index Browser\Chip.dat, and the
// legacy layout with its table Tabela.dbt and a volume label such as CHIP_05_99.
#include <string>

#include "disc_writer.h"

// Records and discs below are spelt field by field, one literal to a field, laid out by hand.
// clang-format off

namespace samples {

namespace {

// The index's header: 44 bytes the import passes over.
std::string IndexHeader() {
    std::string header = "CHIPDAT\x1A" "CHIP CD 5/2004 spis programow";
    header.resize(44, '\0');
    return header;
}

// Categories, duplicated and out-of-range program numbers, blank lines, Polish titles in
// Windows-1250 with every kind of version the name splitter knows, and the trailer 05/2004.
constexpr char kIndexLines[] =
    "0\troot\tCHIP CD 5/2004\r\n"
    "0\tsoftware\tOprogramowanie\r\n"
    "1\tNotatnik v9.0\tProsty edytor tekstu\r\n"
    "2\tKalkulator V2.5\tKalkulator naukowy\r\n"
    "3\tPrzegl\xB9" "darka zdj\xEA\xE6 v.7.54\tPrzegl\xB9" "danie i obr\xF3" "bka zdj\xEA\xE6\r\n"
    "4\tMened\xBF" "er plik\xF3w ver. 7\tDwupanelowy mened\xBF" "er plik\xF3w\r\n"
    "\r\n\r\n"
    "5\tAlbum XP SP2\tAlbum fotograficzny\r\n"
    "6\tAlbum 2003\tAlbum na rok 2003\r\n"
    "7\tAlbum 2003 SP1\tAlbum z poprawkami\r\n"
    "8\tS\xB3ownik 2004 1.5\tS\xB3ownik polsko-angielski\r\n"
    "9\tAlbum 2005.1\tWydanie pierwsze\r\n"
    "0\tinternet\tInternet\r\n"
    "10\tZapora NT/2000/XP 3.0\tZapora sieciowa\r\n"
    "11\tPakiet biurowy 2000/XP/2003 95\tEdytor, arkusz i prezentacje\r\n"
    "12\tKomunikator 2000/XP 8.0\tRozmowy przez sie\xE6\r\n"
    "13\t\xA3" "amig\xB3\xF3wki 95/98 2.0\tZagadki logiczne\r\n"
    "14\tGry planszowe 4in1 1.0\tWarcaby, szachy, m\xB3ynek i go\r\n"
    "0\tporady\tPorady\r\n"
    "15\tSzachy 2k 5\tSzachy dla dw\xF3" "ch\r\n"
    "16\tGra 16bit\tGra z lat dziewi\xEA\xE6" "dziesi\xB9tych\r\n"
    "17\tDefragmentator 100% 1.0\tPorz\xB9" "dkowanie dysku\r\n"
    "18\tPoradnik str. 12\tOpis na stronie 12\r\n"
    "19\tCzyszczenie rejestru 2.1\tPorz\xB9" "dki w rejestrze\r\n"
    "20\tMp3v2 Edytor 1.0\tEdycja znacznik\xF3w\r\n"
    "0\thardware\tSprz\xEAt\r\n"
    "21\tChip\tMagazyn w wersji elektronicznej\r\n"
    "0\tchip\tCHIP\r\n"
    "0\tchip internet\tCHIP w internecie\r\n"
    "1\tNotatnik v9.1\tTa sama pozycja drugi raz\r\n"
    "1000\tTysi\xB9" "czny 1.0\tNumer poza spisem\r\n"
    "1001\tPoza spisem 1.0\tNumer poza spisem\r\n"
    "-5\tUjemny 1.0\tNumer ujemny\r\n"
    "x\tBez numeru 1.0\tNumer nie jest liczb\xB9\r\n"
    "\r\n\r\n\r\n"
    "Koniec spisu CHIP CD\t05/2004\t\r\n";

// Every licence word, the word in small letters, both special sections without a licence, a
// plain line, numbers above and at 1000, and one program listed twice.
constexpr char kTable[] =
    "id\tgrupa\tpodgrupa\tplik\tnr\ttytul\topis\tdzial\tkat\tlicencja\r\n"
    "1\tprogramy\tbiuro\tedytor.zip\t1\tEdytor v2.1\tEdytor tekstu\tbiuro\t1\tDemonstracyjna\r\n"
    "2\tprogramy\tnarz\xEA" "dzia\tpak.zip\t2\tPakowacz 3.0\tArchiwizator\tnarzedzia\t1\tFreeware\r\n"
    "3\tprogramy\tgrafika\tfoto.zip\t3\tFoto 5.5\tObr\xF3" "bka zdj\xEA\xE6\tgrafika\t1\tShareware\r\n"
    "4\tgry\tstrategie\twojna.zip\t4\tWojna 1.2\tStrategia czasu rzeczywistego\tgry\t2\t30-dniowa\r\n"
    "5\tgry\tlogiczne\tkostka.zip\t5\tKostka 2.0\tUk\xB3" "adanka\tgry\t2\t45-dniowa\r\n"
    "6\tprogramy\tbiuro\tksiegi.zip\t6\tKsi\xEAgowo\x9C\xE6 2004\tPe\xB3na ksi\xEAgowo\x9C\xE6 firmy\tbiuro\t1\tPe\xB3na\r\n"
    "7\tprogramy\tsie\xE6\tpoczta.zip\t7\tPoczta 4.0\tKlient poczty\tinternet\t1\tfreeware\r\n"
    "8\tprogramy\tnajlepsze\ttop.zip\t8\tOdtwarzacz 7.1\tMuzyka i filmy\ttop_ten\t1\t\r\n"
    "9\tprogramy\ttesty\ttest.zip\t9\tTester 1.0\tTest podzespo\xB3\xF3w\ttestsoft\t1\t\r\n"
    "10\tdodatki\ttapety\ttapety.zip\t10\tTapety 2004\tZestaw tapet\tdodatki\t3\t\r\n"
    "11\tprogramy\tnarz\xEA" "dzia\tstary.zip\t1001\tStary 1.0\tPomini\xEAty\tnarzedzia\t1\tFreeware\r\n"
    "12\tprogramy\tnarz\xEA" "dzia\tgraniczny.zip\t1000\tGraniczny 1.0\tOstatni numer\tnarzedzia\t1\tFreeware\r\n"
    "13\tprogramy\tnarz\xEA" "dzia\tpak.zip\t2\tPakowacz 3.0\tArchiwizator\tnarzedzia\t1\tFreeware\r\n";

void WriteMarkers(DiscWriter& disc, std::initializer_list<const char*> files) {
    for (const char* file : files) {
        disc.File(file, "MZ");
    }
}

}  // namespace

void MakeChipDiscs(const std::filesystem::path& out) {
    DiscWriter browser(out / "chip-browser");
    browser.Label("CHIP_CD_0504");
    WriteMarkers(browser, {"startuj.exe", "start.exe", "index.htm", "chip-cd.ico", "AUTORUN.INF",
                           "Browser/chip.skn", "Browser/About.gfx", "Browser/chip.avi", "Browser/chip-cds.exe",
                           "Browser/Chip-cd.exe", "Browser/setup.exe", "Browser/CHIP.CNT", "Browser/Chip.hlp",
                           "Browser/ChipS.hlp", "Browser/snd.dll"});
    browser.File("autorun.inf", "[autorun]\r\nopen=startuj.exe\r\nicon=chip-cd.ico\r\n");
    browser.File("Browser/Chip.dat", IndexHeader() + kIndexLines);

    DiscWriter legacy(out / "chip-legacy");
    legacy.Label("CHIP_05_99");
    WriteMarkers(legacy, {"autorun.exe", "Chip16.exe", "Chip16.hlp", "chip32.exe", "Chip32.hlp", "chip-cd.ico",
                          "Czytajto.wri", "Kopiuj.hlp", "kopiuj16.exe", "kopiuj32.exe", "Nviewl16.dll", "NViewLib.dll",
                          "Xcdunz32.dll", "Xcdunzip.dll"});
    legacy.File("Autorun.inf", "[autorun]\r\nopen=autorun.exe\r\n");
    legacy.File("Hierarch.dbt", "id\trodzic\tnazwa\r\n1\t0\tprogramy\r\n2\t0\tgry\r\n");
    legacy.File("Obiekty.dbt", "id\tplik\r\n1\tedytor.zip\r\n");
    legacy.File("Tabela.dbt", kTable);
}

}  // namespace samples
