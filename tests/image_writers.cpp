#include "image_writers.h"

#include <archive.h>
#include <archive_entry.h>

#include <stdexcept>

namespace wtk::test {

namespace {

std::string Big(uint64_t value, int width) {
    std::string bytes;
    for (int i = width - 1; i >= 0; --i) {
        bytes += static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

std::string Little(uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) {
        bytes += static_cast<char>(value >> (8 * i));
    }
    return bytes;
}

char Bcd(uint32_t value) { return static_cast<char>(value / 10 * 16 + value % 10); }

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char c : bytes) {
        crc ^= c;
        for (int bit = 0; bit < 8; ++bit) {
            crc = crc & 1 ? crc >> 1 ^ 0xEDB88320u : crc >> 1;
        }
    }
    return ~crc;
}

}  // namespace

std::string Sectors(const std::string& iso, uint32_t size, int mode) {
    if (size == 2048) {
        return iso;
    }
    const std::string sync = std::string(1, '\0') + std::string(10, '\xFF') + std::string(1, '\0');
    std::string out;
    for (std::size_t block = 0; block * 2048 < iso.size(); ++block) {
        const uint32_t address = static_cast<uint32_t>(block) + 150;
        std::string sector;
        if (size != 2336) {
            sector = sync + Bcd(address / 4500) + Bcd(address / 75 % 60) + Bcd(address % 75) + static_cast<char>(mode);
        }
        if (mode == 2) {
            sector += std::string(8, '\0');
        }
        sector += iso.substr(block * 2048, 2048);
        sector.resize(size, '\0');
        out += sector;
    }
    return out;
}

std::string NrgImage(const std::string& sectors, NrgTable table, uint32_t sectorSize, uint8_t nrgMode) {
    const bool wide = table == NrgTable::DaoVersion2 || table == NrgTable::TaoVersion2;
    const int width = wide ? 8 : 4;
    const uint64_t start = 150 * uint64_t{sectorSize};
    std::string image = std::string(start, '\0') + sectors;
    const uint64_t end = image.size();
    const char control = nrgMode == 0x07 ? '\x01' : '\x41';
    std::string cues;
    for (const auto& [track, index, at] : {std::tuple{0, 0, 0}, {1, 0, 0}, {1, 1, 150}}) {
        cues += std::string{control, Bcd(track), Bcd(index), '\0'} + Big(at, 4);
    }
    std::string chunks = (wide ? "CUEX" : "CUES") + Big(cues.size(), 4) + cues;
    if (table == NrgTable::DaoVersion1 || table == NrgTable::DaoVersion2) {
        std::string dao = std::string(14, '\0') + std::string{'\0', '\0', '\x01', '\x01'};  // UPC, TOC type, tracks
        dao += std::string(12, '\0') + Big(sectorSize, 2) +
               std::string{static_cast<char>(nrgMode), '\0', '\0', '\x01'} + Big(0, width) + Big(start, width) +
               Big(end, width);
        dao = Big(dao.size() + 4, 4) + dao;
        chunks += (wide ? "DAOX" : "DAOI") + Big(dao.size(), 4) + dao;
    } else {
        const std::string etn = Big(start, width) + Big(sectors.size(), width) + Big(nrgMode, 4) + Big(0, 4) +
                                std::string(wide ? 8 : 4, '\0');
        chunks += (wide ? "ETN2" : "ETNF") + Big(etn.size(), 4) + etn;
    }
    chunks += "END!" + Big(0, 4);
    return image + chunks + (wide ? "NER5" + Big(end, 8) : "NERO" + Big(end, 4));
}

std::string MdsDescriptor(uint8_t mode, uint32_t sectorSize, uint32_t sectors, const std::string& file) {
    constexpr uint32_t kHeader = 0x58, kSession = 24, kTrack = 80, kTracks = 4;
    constexpr uint32_t kIndex = kHeader + kSession + kTracks * kTrack, kName = kIndex + 8, kText = kName + 16;
    std::string header = "MEDIA DESCRIPTOR" + std::string{'\x01', '\x03'} + Little(0, 2) + Little(1, 2);
    header.resize(0x50, '\0');
    header += Little(kHeader, 4) + Little(0, 4);
    const std::string session = Little(static_cast<uint32_t>(-150), 4) + Little(sectors, 4) + Little(1, 2) +
                                static_cast<char>(kTracks) + static_cast<char>(kTracks - 1) + Little(1, 2) +
                                Little(1, 2) + Little(0, 4) + Little(kHeader + kSession, 4);
    std::string tracks;
    for (const uint8_t point : {0xA0, 0xA1, 0xA2, 0x01}) {
        std::string track(kTrack, '\0');
        track[2] = mode == 0xA9 ? '\x10' : '\x14';
        track[4] = static_cast<char>(point);
        if (point == 0x01) {
            track[0] = static_cast<char>(mode);
            track.replace(0x0C, 4, Little(kIndex, 4));
            track.replace(0x10, 2, Little(sectorSize, 2));
            track.replace(0x30, 4, Little(1, 4));
            track.replace(0x34, 4, Little(kName, 4));
        }
        tracks += track;
    }
    const std::string index = Little(0, 4) + Little(sectors, 4);
    const std::string name = Little(kText, 4) + std::string(12, '\0');
    return header + session + tracks + index + name + file + '\0';
}

std::string CcdControl(int mode, uint32_t sectors, int control) {
    std::string text =
        "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=4\r\nSessions=1\r\nDataTracksScrambled=0\r\n"
        "CDTextLength=0\r\n[Session 1]\r\nPreGapMode=" +
        std::to_string(mode) + "\r\nPreGapSubC=0\r\n";
    const std::pair<const char*, int64_t> entries[] = {{"0xa0", -150}, {"0xa1", -150}, {"0xa2", sectors}, {"0x01", 0}};
    int number = 0;
    for (const auto& [point, plba] : entries) {
        text += "[Entry " + std::to_string(number++) + "]\r\nSession=1\r\nPoint=" + point +
                "\r\nADR=0x01\r\nControl=0x0" + std::to_string(control) +
                "\r\nTrackNo=0\r\nPLBA=" + std::to_string(plba) + "\r\n";
    }
    return text + "[TRACK 1]\r\nMODE=" + std::to_string(mode) + "\r\nINDEX 1=0\r\n";
}

std::string RarArchive(const std::vector<std::pair<std::string, std::string>>& files) {
    // Each block: the CRC of the rest of its header (its low 16 bits), then the rest.
    const auto block = [](const std::string& rest) { return Little(Crc32(rest) & 0xFFFF, 2) + rest; };
    std::string rar = "Rar!\x1A\x07" + std::string(1, '\0');
    rar += block("\x73" + Little(0, 2) + Little(13, 2) + std::string(6, '\0'));
    for (const auto& [name, bytes] : files) {
        std::string header = "\x74" + Little(0x8000, 2) + Little(32 + name.size(), 2) + Little(bytes.size(), 4) +
                             Little(bytes.size(), 4) + '\x03' + Little(Crc32(bytes), 4) + Little(0x5A210000, 4) +
                             '\x14' + '\x30' + Little(name.size(), 2) + Little(0x81A4, 4) + name;
        rar += block(header) + bytes;
    }
    return rar + block("\x7B" + Little(0x4000, 2) + Little(7, 2));
}

void WriteArchive(const std::filesystem::path& archive, const std::string& format, const std::string& filter,
                  const std::vector<std::pair<std::string, std::string>>& files, const std::string& passphrase) {
    struct archive* writer = archive_write_new();
    bool ok = archive_write_set_format_by_name(writer, format.c_str()) == ARCHIVE_OK &&
              (filter == "none" || archive_write_add_filter_by_name(writer, filter.c_str()) == ARCHIVE_OK);
    if (ok && !passphrase.empty()) {
        ok = archive_write_set_options(writer, "zip:encryption=zipcrypt") == ARCHIVE_OK &&
             archive_write_set_passphrase(writer, passphrase.c_str()) == ARCHIVE_OK;
    }
    ok = ok && archive_write_open_filename(writer, archive.c_str()) == ARCHIVE_OK;
    for (const auto& [name, bytes] : files) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(bytes.size()));
        ok = ok && archive_write_header(writer, entry) == ARCHIVE_OK &&
             archive_write_data(writer, bytes.data(), bytes.size()) == static_cast<la_ssize_t>(bytes.size());
        archive_entry_free(entry);
    }
    const std::string error = archive_error_string(writer) ? archive_error_string(writer) : "";
    ok = archive_write_close(writer) == ARCHIVE_OK && ok;
    archive_write_free(writer);
    if (!ok) {
        throw std::runtime_error("cannot write " + archive.string() + ": " + error);
    }
}

}  // namespace wtk::test
