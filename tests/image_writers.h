// Writers of the disc image layouts that no Debian tool makes, for tests: raw frames, Nero images,
// Alcohol and CloneCD descriptors, RAR archives; and archives by libarchive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace wtk::test {

// The blocks of a plain image in sectors of that size: 2048 (as they are), 2336 (mode 2 without
// sync and header: an 8-byte subheader, the block, zeros), 2352 (a frame: sync, address, mode
// byte, for mode 2 a subheader, then the block) or 2448 (a frame and 96 bytes of subchannel).
std::string Sectors(const std::string& iso, uint32_t size, int mode);

enum class NrgTable { DaoVersion1, DaoVersion2, TaoVersion1, TaoVersion2 };

// A Nero image of the sectors (of sectorSize bytes, in mode mode) behind a pregap of 150 sectors:
// the chunks CUES/CUEX, DAOI/DAOX or ETNF/ETN2, END! and the footer NERO or NER5. nrgMode is the
// track table's mode byte (0x07 for audio).
std::string NrgImage(const std::string& sectors, NrgTable table, uint32_t sectorSize, uint8_t nrgMode);

// An MDS descriptor of one session with the lead-in entries A0 to A2 and one track: mode byte
// (0xAA mode 1, 0xAB mode 2, 0xA9 audio), sector size, its sectors, its file ("*.mdf").
std::string MdsDescriptor(uint8_t mode, uint32_t sectorSize, uint32_t sectors, const std::string& file);

// A CloneCD control file of one track of that mode and length (control 0x04 for data, 0 for audio).
std::string CcdControl(int mode, uint32_t sectors, int control);

// A RAR archive (version 4 layout) holding the files stored, without compression.
std::string RarArchive(const std::vector<std::pair<std::string, std::string>>& files);

// Writes an archive of the files with libarchive: format "zip", "7zip" or "raw" (one file, for a
// compressed stream), filter "none", "gzip" or "xz"; a passphrase encrypts a ZIP.
void WriteArchive(const std::filesystem::path& archive, const std::string& format, const std::string& filter,
                  const std::vector<std::pair<std::string, std::string>>& files, const std::string& passphrase = "");

}  // namespace wtk::test
