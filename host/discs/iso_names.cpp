#include "host/discs/iso_names.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "host/base/utf8.h"

namespace wertowik {

namespace {

constexpr std::size_t kBlock = ISO_BLOCKSIZE;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// Up to the first NUL, without the spaces that pad it.
std::string PaddedText(std::string_view field) {
    field = field.substr(0, field.find('\0'));
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    return std::string(field);
}

// A UCS-2 text as UTF-8 up to its first NUL; nothing when it holds half of a surrogate pair, which
// UCS-2 has no character for.
std::optional<std::string> Ucs2Text(const char* bytes, std::size_t size) {
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const unsigned high = static_cast<unsigned char>(bytes[i]);
        if (high >= 0xD8 && high <= 0xDF) {
            return std::nullopt;
        }
    }
    std::string text = JolietNameToUtf8(std::string_view(bytes, size));
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::string JolietNameToUtf8(std::string_view bytes) {
    std::string out;
    const std::size_t units = bytes.size() / 2;
    auto unit = [&bytes](std::size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) << 8 |
               static_cast<unsigned char>(bytes[2 * i + 1]);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const uint32_t first = unit(i);
        if (first >= 0xD800 && first < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) < 0xE000) {
            utf8::Append(out, 0x10000 + ((first - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (first >= 0xD800 && first < 0xE000) {
            utf8::Append(out, 0xFFFD);
        } else {
            utf8::Append(out, first);
        }
    }
    return out;
}

std::string PlainName(std::string name, bool joliet) {
    const std::size_t semicolon = name.rfind(';');
    if (semicolon != std::string::npos && semicolon + 1 < name.size() &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(semicolon) + 1, name.end(),
                    [](char c) { return c >= '0' && c <= '9'; })) {
        name.erase(semicolon);
    }
    if (!joliet && name.size() > 1 && name.back() == '.') {
        name.pop_back();
    }
    return name;
}

std::optional<int64_t> RecordedTime(const unsigned char* time) {
    const unsigned month = time[1], day = time[2], hour = time[3], minute = time[4], second = time[5];
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    const auto zone = static_cast<int8_t>(time[6]);
    const int64_t days = DaysFromCivil(1900 + int64_t{time[0]}, month, day);
    return days * 86400 + hour * 3600 + minute * 60 + second - int64_t{zone} * 15 * 60;
}

std::optional<iso9660_svd_t> JolietDescriptor(const Blocks& blocks, uint64_t imageSize) {
    std::array<char, kBlock> block{};
    const uint64_t blocksInImage = imageSize / kBlock;
    for (uint64_t at = ISO_PVD_SECTOR + 1; at < blocksInImage; ++at) {
        try {
            blocks.Read(block.data(), static_cast<uint32_t>(at), 1);
        } catch (const std::runtime_error&) {
            break;
        }
        iso9660_svd_t descriptor{};
        std::memcpy(&descriptor, block.data(), sizeof descriptor);
        if (from_711(descriptor.type) == ISO_VD_END) {
            break;
        }
        // Joliet's escape sequences: %/@, %/C or %/E.
        const char* escape = descriptor.escape_sequences;
        if (from_711(descriptor.type) == ISO_VD_SUPPLEMENTARY && escape[0] == '%' && escape[1] == '/' &&
            (escape[2] == '@' || escape[2] == 'C' || escape[2] == 'E')) {
            return descriptor;
        }
    }
    return std::nullopt;
}

std::string VolumeLabel(const iso9660_pvd_t& pvd, const std::optional<iso9660_svd_t>& joliet) {
    const std::string_view field(pvd.volume_id, sizeof pvd.volume_id);
    const std::string_view primary = field.substr(0, field.find('\0'));
    if (joliet) {
        if (const std::optional<std::string> id = Ucs2Text(joliet->volume_id, sizeof joliet->volume_id);
            id && primary.compare(0, id->size(), *id) != 0) {
            if (std::string label = PaddedText(*id); !label.empty()) {
                return label;
            }
        }
    }
    return PaddedText(primary);
}

}  // namespace wertowik
