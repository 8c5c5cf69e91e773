#include "host/catalogue/catalogue_rows.h"

#include "host/catalogue/schema.h"

namespace wertowik::catalogue_rows {

using sqlite::Statement;

DiscRow ReadDisc(const Statement& row) {
    DiscRow disc;
    disc.id = static_cast<uint16_t>(row.Int(0));
    disc.plugin = row.Text(1);
    disc.source = row.Text(2);
    disc.name = row.Text(3);
    disc.nameRaw = row.Text(4);
    disc.label = row.Text(5);
    disc.labelRaw = row.Text(6);
    disc.issue = static_cast<int>(row.Int(7));
    disc.year = static_cast<int>(row.Int(8));
    disc.hostData = row.Text(9);
    disc.record = row.Text(10);
    disc.result = static_cast<int>(row.Int(11));
    disc.programs = static_cast<int>(row.Int(12));
    disc.registeredAt = row.Text(13);
    disc.files = static_cast<int>(row.Int(14));
    disc.firstFile = row.IsNull(15) ? 0 : row.Int(15);
    return disc;
}

std::string RawColumn(const Statement& row, int column, const std::string& utf8) {
    return row.IsNull(column) ? RawText(utf8) : row.Text(column);
}

ProgramRow ReadProgram(const Statement& row, int first) {
    ProgramRow program;
    program.disc = static_cast<uint16_t>(row.Int(first));
    program.position = static_cast<int>(row.Int(first + 1));
    program.licence = static_cast<int>(row.Int(first + 2));
    program.name = row.Text(first + 3);
    program.version = row.Text(first + 4);
    program.description = row.Text(first + 5);
    program.nameRaw = RawColumn(row, first + 6, program.name);
    program.versionRaw = RawColumn(row, first + 7, program.version);
    program.descriptionRaw = RawColumn(row, first + 8, program.description);
    return program;
}

}  // namespace wertowik::catalogue_rows
