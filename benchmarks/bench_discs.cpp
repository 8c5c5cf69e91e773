// wertowik-bench-discs KIND FOLDER SIZE: writes one large made-up disc for the benchmarks.
//   chip-index FOLDER BYTES   a browser-layout CHIP disc whose index Browser/Chip.dat has about BYTES bytes
//   chip-table FOLDER LINES   a legacy CHIP disc whose table Tabela.dbt has LINES data lines
//   ks-pages FOLDER PAGES     a Komputer Świat Ekspert disc with PAGES program pages
//   collection FOLDER DISCS   DISCS small discs in FOLDER/disc-NNN, a third each of CHIP indexes,
//                             legacy CHIP tables and Komputer Świat pages, every one with filler
//                             files up to about 2.85 MB, as a shelf of cover discs has them
// Texts are Windows-1250 (pages ISO 8859-2, as on the discs); files are written as they are made,
// so the generator stays small whatever the size.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

// A file written piece by piece.
class Output {
public:
    explicit Output(const fs::path& file) {
        fs::create_directories(file.parent_path());
        out_.open(file, std::ios::binary | std::ios::trunc);
        if (!out_) throw std::runtime_error("cannot write " + file.string());
        path_ = file;
    }
    Output& operator<<(const std::string& bytes) {
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        written_ += bytes.size();
        return *this;
    }
    uint64_t written() const { return written_; }
    void Close() {
        out_.close();
        if (!out_) throw std::runtime_error("cannot write " + path_.string());
    }

private:
    std::ofstream out_;
    fs::path path_;
    uint64_t written_ = 0;
};

// Program names, versions and descriptions that vary from line to line.
const std::vector<std::string> kNames{"Edytor",
                                      "Album",
                                      "Notatnik Plus",
                                      "Kalkulator",
                                      "Gra logiczna",
                                      "Archiwizer",
                                      "Pogoda",
                                      "Zegar atomowy",
                                      "S\xB3ownik",
                                      "Menad\xBF"
                                      "er plik\xF3w"};
const std::vector<std::string> kTags{"", " 2000/XP", " 95/98", " 2004", ""};

std::string Title(uint64_t i) {
    return kNames[i % kNames.size()] + kTags[i % kTags.size()] + " " + std::to_string(1 + i % 9) + "." +
           std::to_string(i % 100);
}

std::string Description(uint64_t i) {
    return "Program do codziennej pracy z plikami i dokumentami, wersja " + std::to_string(i) +
           ". Obs\xB3uguje polskie litery, dzia\xB3"
           "a szybko i nie wymaga instalacji.";
}

void MarkerFiles(const fs::path& root, const std::vector<std::string>& files) {
    for (const std::string& file : files)
        WriteFile(root / file, "MZ");
}

void ChipIndexDisc(const fs::path& root, uint64_t bytes, uint64_t first = 0) {
    MarkerFiles(root,
                {"startuj.exe", "start.exe", "index.htm", "chip-cd.ico", "autorun.inf", "Browser/chip.skn",
                 "Browser/About.gfx", "Browser/chip.avi", "Browser/chip-cds.exe", "Browser/Chip-cd.exe",
                 "Browser/setup.exe", "Browser/Chip.cnt", "Browser/Chip.hlp", "Browser/ChipS.hlp", "Browser/snd.dll"});
    Output index(root / "Browser" / "Chip.dat");
    index << std::string(44, '\x01');  // the header the import does not read
    static const std::vector<std::string> kCategories{"root", "software", "internet", "hardware", "porady"};
    const std::string trailer =
        "\t\tKoniec spisu tre\x9C"
        "ci\t05/2004\t\r\n";
    for (uint64_t i = 0; index.written() + trailer.size() < bytes; ++i) {
        if (i % 40 == 0) {
            index << std::to_string(i % 1000) + "\t" + kCategories[i / 40 % kCategories.size()] + "\t\r\n";
        }
        // Program numbers run from 0 to 999 and then repeat: later lines of a number are skipped.
        index << std::to_string(i % 1000) + "\t" + Title(first + i) + "\t" + Description(first + i) + "\t\r\n";
    }
    index << trailer;
    index.Close();
}

void ChipTableDisc(const fs::path& root, uint64_t lines, uint64_t first = 0) {
    MarkerFiles(root, {"autorun.exe", "Autorun.inf", "Chip16.exe", "Chip16.hlp", "chip32.exe", "Chip32.hlp",
                       "chip-cd.ico", "Czytajto.wri", "Hierarch.dbt", "Kopiuj.hlp", "kopiuj16.exe", "kopiuj32.exe",
                       "Nviewl16.dll", "NViewLib.dll", "Obiekty.dbt", "Xcdunz32.dll", "Xcdunzip.dll"});
    WriteFile(root / ".windows-label", "CHIP_05_99\n");
    static const std::vector<std::string> kSections{"testsoft", "top_ten", "programy", "gry", "internet"};
    static const std::vector<std::string> kLicences{"Freeware",  "Shareware", "", "Demonstracyjna",
                                                    "30-dniowa", "Pe\xB3na",  ""};
    Output table(root / "Tabela.dbt");
    table << "Id\tKatalog\tPlik\tRozmiar\tNumer\tTytul\tOpis\tDzial\tUwagi\tLicencja\r\n";
    for (uint64_t i = 0; i < lines; ++i) {
        table << std::to_string(i) + "\tPROG\\" + std::to_string(i % 500) + "\tsetup" + std::to_string(i) + ".exe\t" +
                     std::to_string(1000 + i % 90000) + "\t" + std::to_string(i % 1200) + "\t" + Title(first + i) +
                     "\t" + Description(first + i) + "\t" + kSections[i % kSections.size()] + "\t\t" +
                     kLicences[i % kLicences.size()] + "\r\n";
    }
    table.Close();
}

void KsPagesDisc(const fs::path& root, uint64_t pages, uint64_t first = 0) {
    MarkerFiles(root, {"tarvo.ico", "autorun.inf", "instaluj.exe"});
    WriteFile(root / ".windows-label", "KSEKSPR0405\n");
    static const std::vector<std::string> kLicences{"Freeware", "Shareware", "Demo", "Pe\xB3na wersja", "GPL", "Trial"};
    const std::string head =
        "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-2\">\r\n";
    for (uint64_t i = 0; i < pages; ++i) {
        std::string page = head + "<title>Komputer \xA6wiat Ekspert</title>\r\n</head>\r\n<body>\r\n";
        page += "<p class=\"nazwa\">" + Title(first + i) + "</p>\r\n<p class=\"opis\">";
        for (int sentence = 0; sentence < 12; ++sentence) {
            page +=
                "Program pozwala szybko i wygodnie porz\xB1"
                "dkowa\xE6 pliki na dysku, a jego okno jest "
                "przejrzyste. ";
        }
        page += "</p>\r\n<b>Licencja:</b> <span class=licencja_text>" + kLicences[i % kLicences.size()] +
                "</span>\r\n</body>\r\n</html>\r\n";
        const std::string number = std::to_string(100000 + i).substr(1);
        WriteFile(root / "datalo" / "htm" / ("p" + number + ".htm"), page);
    }
}

// Files of no meaning that fill a disc up to its size: programs' archives and pictures, in a few
// folders. Their bytes vary, so that no layer on the way can make them smaller.
void FillerFiles(const fs::path& root, uint64_t bytes, uint64_t seed) {
    std::string block(65536, '\0');
    uint64_t state = 0x9E3779B97F4A7C15ull ^ seed;
    for (char& c : block) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        c = static_cast<char>(state >> 56);
    }
    constexpr uint64_t kFileBytes = 96 * 1024;
    for (uint64_t file = 0; bytes > 0; ++file) {
        const uint64_t size = std::min(bytes, kFileBytes - (file * 4093 + seed) % 32768);
        Output out(root / ("PROGRAMY/PROG" + std::to_string(file / 8)) / ("plik" + std::to_string(file) + ".zip"));
        for (uint64_t written = 0; written < size;) {
            const uint64_t piece = std::min<uint64_t>(block.size() - 4096, size - written);
            out << block.substr((file * 131 + written) % 4096, piece);
            written += piece;
        }
        out.Close();
        bytes -= size;
    }
}

// The bytes a disc's folder holds.
uint64_t FolderBytes(const fs::path& root) {
    uint64_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) bytes += entry.file_size();
    }
    return bytes;
}

// DISCS discs of about 2.4 MB each (2.85 MB as ISO 9660 images): a CHIP index of 200 KB to 1 MB, a table of 500 to 3000
// lines or 50 to 450 pages, each disc with programs of its own, the rest filler.
void Collection(const fs::path& root, uint64_t discs) {
    constexpr uint64_t kDiscBytes = 2440 * 1024;
    for (uint64_t i = 0; i < discs; ++i) {
        std::string number = std::to_string(1000 + i).substr(1);
        const fs::path disc = root / ("disc-" + number);
        const uint64_t first = i * 10000;
        switch (i % 3) {
            case 0:
                ChipIndexDisc(disc, 200 * 1024 + (i * 37 % 9) * 100 * 1024, first);
                WriteFile(disc / ".windows-label", "CHIP_CD_" + number + "\n");
                break;
            case 1: ChipTableDisc(disc, 500 + (i * 53 % 11) * 250, first); break;
            default: KsPagesDisc(disc, 50 + (i * 29 % 9) * 50, first); break;
        }
        const uint64_t data = FolderBytes(disc);
        FillerFiles(disc, data < kDiscBytes ? kDiscBytes - data : 0, i);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: wertowik-bench-discs chip-index|chip-table|ks-pages|collection FOLDER SIZE\n";
        return 64;
    }
    try {
        const std::string kind = argv[1];
        const fs::path root = argv[2];
        const uint64_t size = std::strtoull(argv[3], nullptr, 10);
        fs::remove_all(root);
        fs::create_directories(root);
        if (kind == "chip-index") {
            ChipIndexDisc(root, size);
        } else if (kind == "chip-table") {
            ChipTableDisc(root, size);
        } else if (kind == "ks-pages") {
            KsPagesDisc(root, size);
        } else if (kind == "collection") {
            Collection(root, size);
        } else {
            std::cerr << "wertowik-bench-discs: unknown kind " << kind << '\n';
            return 64;
        }
    } catch (const std::exception& problem) {
        std::cerr << "wertowik-bench-discs: " << problem.what() << '\n';
        return 70;
    }
    return 0;
}
