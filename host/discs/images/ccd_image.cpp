#include "host/discs/images/ccd_image.h"

#include <map>
#include <string>

#include "host/discs/windows_names.h"

namespace wertowik {

namespace {

constexpr uint32_t kFrame = 2352;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// A number as the file writes it: decimal, possibly negative, or hexadecimal after "0x"; nothing
// for anything else or more than nine digits.
std::optional<int64_t> NumberOf(std::string_view text) {
    text = Trimmed(text);
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return negative ? -value : value;
}

using Section = std::map<std::string, std::string>;

}  // namespace

bool IsCcdControlFile(std::string_view head) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        head.remove_prefix(3);
    }
    return FoldCase(Trimmed(head.substr(0, head.find('\n')))) == "[CLONECD]";
}

std::optional<DescribedTrack> FirstTrackOfCcd(std::string_view text) {
    if (!IsCcdControlFile(text)) {
        return std::nullopt;
    }
    // The sections of interest, keys in capitals: every [ENTRY N] and [TRACK 1].
    std::map<std::string, Section> sections;
    Section* current = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.front() == '[' && line.back() == ']') {
            const std::string name = FoldCase(line.substr(1, line.size() - 2));
            current = name.rfind("ENTRY ", 0) == 0 || name == "TRACK 1" ? &sections[name] : nullptr;
        } else if (const std::size_t equals = line.find('='); current && equals != std::string_view::npos) {
            (*current)[FoldCase(Trimmed(line.substr(0, equals)))] = std::string(Trimmed(line.substr(equals + 1)));
        }
    }
    auto number = [](const Section& section, const char* key) -> std::optional<int64_t> {
        const auto found = section.find(key);
        return found == section.end() ? std::nullopt : NumberOf(found->second);
    };
    std::optional<int64_t> start;
    std::optional<int64_t> control;
    std::optional<int64_t> end;  // the second track's start, else the lead-out's
    for (const auto& [name, section] : sections) {
        const std::optional<int64_t> session = number(section, "SESSION");
        const std::optional<int64_t> point = number(section, "POINT");
        const std::optional<int64_t> at = number(section, "PLBA");
        if (name.rfind("ENTRY ", 0) != 0 || !point || !at || session.value_or(1) != 1) {
            continue;
        }
        if (*point == 1) {
            start = at;
            control = number(section, "CONTROL");
        } else if (*point == 2 || (*point == 0xA2 && !end)) {
            end = at;
        }
    }
    // [TRACK 1] gives the mode (0 for audio), and where the track begins should no entry say.
    std::optional<int64_t> mode;
    if (const auto found = sections.find("TRACK 1"); found != sections.end()) {
        mode = number(found->second, "MODE");
        if (!start) {
            start = number(found->second, "INDEX 1");
        }
    }
    if (!control && mode) {
        control = *mode == 0 ? 0 : 0x04;
    }
    if (!start || *start < 0 || !control) {
        return std::nullopt;
    }
    DescribedTrack track;
    track.audio = (*control & 0x04) == 0;
    track.offset = static_cast<uint64_t>(*start) * kFrame;
    track.sectorSize = kFrame;
    track.mode = mode == int64_t{2} ? 2 : 1;
    if (end && *end > *start) {
        track.sectors = static_cast<uint64_t>(*end - *start);
    }
    return track;
}

}  // namespace wertowik
