#include "host/report/catalogue_json.h"

#include <ctime>

#include "host/base/display_text.h"
#include "host/catalogue/names.h"
#include "host/report/catalogue_text.h"

namespace wertowik {

using nlohmann::json;

namespace {

std::string IsoTime(const std::optional<int64_t>& seconds) {
    std::string text = TimeText(seconds);
    if (!text.empty()) {
        text[10] = 'T';
        text += ":00Z";
        const std::time_t time = static_cast<std::time_t>(*seconds);
        std::tm parts{};
        ::gmtime_r(&time, &parts);
        char precise[32];
        std::strftime(precise, sizeof precise, "%Y-%m-%dT%H:%M:%SZ", &parts);
        text = precise;
    }
    return text;
}

}  // namespace

std::string RecordHex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 0x0F];
    }
    return hex;
}

json DiscJson(const DiscRow& disc) {
    return json{
        {"id", disc.id},
        {"name", disc.name},
        {"issue", disc.issue},
        {"year", disc.year},
        {"label", disc.label},
        {"library", disc.claimed() ? json(disc.plugin) : json(nullptr)},
        {"source", disc.source},
        {"programs", disc.programs},
        {"files", disc.files},
        {"result", disc.claimed() ? json(disc.result) : json(nullptr)},
        {"registeredAt", disc.registeredAt},
        {"record", disc.record.empty() ? json(nullptr) : json(RecordHex(disc.record))},
    };
}
json FileJson(const FileRow& file) {
    return json{
        {"disc", file.disc},
        {"path", file.path},
        {"name", NameToUtf8(file.name)},
        {"directory", file.directory},
        {"size", file.size},
        {"modified", file.modified ? json(IsoTime(file.modified)) : json(nullptr)},
        {"hidden", file.hidden},
        {"system", file.system},
    };
}

json ProgramJson(const ProgramRow& program) {
    return json{
        {"disc", program.disc},
        {"position", program.position},
        {"licence", program.licence},
        {"licenceName", LicenceName(program.licence)},
        {"name", program.name},
        {"version", program.version},
        {"description", program.description},
    };
}

}  // namespace wertowik
