#include "host/report/catalogue_text.h"

#include <ctime>

#include "host/base/messages.h"
#include "host/catalogue/names.h"

namespace wertowik {

std::string DiscTitle(const std::string& name, int issue, int year, const std::string& label) {
    if (name.empty()) {
        return label.empty() ? "(no name)" : "[" + label + "]";
    }
    return name + " (" + std::to_string(issue) + "/" + std::to_string(year) + ")";
}

std::string DiscTitle(const DiscRow& disc) { return DiscTitle(disc.name, disc.issue, disc.year, disc.label); }

std::string LibraryText(const DiscRow& disc) { return disc.claimed() ? disc.plugin : "-"; }

std::string IssueText(int issue, int year) { return std::to_string(issue) + "/" + std::to_string(year); }

std::string TimeText(const std::optional<int64_t>& seconds) {
    if (!seconds) {
        return "";
    }
    const std::time_t time = static_cast<std::time_t>(*seconds);
    std::tm parts{};
    if (::gmtime_r(&time, &parts) == nullptr) {
        return "";
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
    return text;
}

std::string AttributeText(const FileRow& file) {
    std::string text;
    text += file.directory ? 'D' : '-';
    text += file.hidden ? 'H' : '-';
    text += file.system ? 'S' : '-';
    return text;
}

TextTable ProgramTable(bool withDisc) {
    std::vector<std::string> headers;
    if (withDisc) {
        headers = {Tr("Disc"), "#", Tr("Program"), Tr("Version"), Tr("Licence"), Tr("Description")};
        TextTable table(headers);
        table.LimitWidth(0, kNameWidth);
        table.AlignRight(1);
        table.LimitWidth(2, kNameWidth);
        table.LimitWidth(3, 16);
        table.LimitWidth(5, kDescriptionWidth);
        table.Shrinkable(5);
        table.Shrinkable(2);
        table.Shrinkable(0);
        return table;
    } else {
        headers = {"#", Tr("Program"), Tr("Version"), Tr("Licence"), Tr("Description")};
    }
    TextTable table(headers);
    table.AlignRight(0);
    table.LimitWidth(1, kNameWidth);
    table.LimitWidth(2, 16);
    table.LimitWidth(4, kDescriptionWidth);
    table.Shrinkable(4);
    table.Shrinkable(1);
    return table;
}

std::vector<std::string> ProgramCells(const ProgramRow& program) {
    return {std::to_string(program.position), program.name, program.version, LicenceName(program.licence),
            program.description};
}

}  // namespace wertowik
