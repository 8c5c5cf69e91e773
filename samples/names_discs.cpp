// A disc whose file names use Polish letters, spaces, long names and odd letter case: no library
// claims it, and it is there to compare a folder with an ISO 9660 image made from it.
#include "disc_writer.h"

namespace samples {

void MakeNameDiscs(const std::filesystem::path& out) {
    DiscWriter names(out / "polish-names");
    names.Label("NAZWY_2004");
    names.File(
        "\xC5\xB9r\xC3\xB3"
        "d\xC5\x82"
        "a/\xC5\x82\xC3\xB3"
        "d\xC5\xBA.txt",
        "\xA3\xF3"
        "d\x9F\r\n");
    names.File("za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85 ja\xC5\xBA\xC5\x84.txt",
               "Pchn\xB9\xE6 w t\xEA \xB3\xF3"
               "d\xBC je\xBF"
               "a\r\n");
    names.File("Programy/Gry/Pasjans.EXE", "MZ");
    names.File("Programy/Dokumentacja techniczna programu.html", "<html><body>Opis</body></html>\r\n");
    names.File("README", "Bez rozszerzenia\r\n");
    names.File("UPPER.TXT", "upper\r\n");
    names.File("lower.txt", std::string(5000, 'x'));
    names.Folder("Pusty katalog");
}

}  // namespace samples
