// Enter discs (recognised by the label "enter" alone) and a disc no library serves.
#include "disc_writer.h"

namespace samples {

namespace {

constexpr char kContentsPage[] =
    "<html><head><title>Enter - zawarto\x9C\xE6 p\xB3yty</title></head>\r\n"
    "<body><h1>Na p\xB3ycie</h1><ul><li>Gry</li><li>Programy</li></ul></body></html>\r\n";

}  // namespace

void MakeEnterDiscs(const std::filesystem::path& out) {
    DiscWriter withPage(out / "enter");
    withPage.Label("enter");
    withPage.File("index.htm", kContentsPage);
    withPage.File("autorun.inf", "[autorun]\r\nopen=start.exe\r\n");
    withPage.File("Gry/pasjans.exe", "MZ");

    DiscWriter withoutPage(out / "enter-no-index");
    withoutPage.Label("enter");
    withoutPage.File("autorun.inf", "[autorun]\r\nopen=start.exe\r\n");
    withoutPage.File("Programy/notatnik.exe", "MZ");

    DiscWriter unrelated(out / "unrelated");
    unrelated.Label("DANE_2004");
    unrelated.File("index.htm", "<html><body>Kopia zapasowa</body></html>\r\n");
    unrelated.File("dokumenty/list.txt", "Dzie\xF1 dobry\r\n");
}

}  // namespace samples
