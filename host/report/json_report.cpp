#include "host/report/json_report.h"

#include "host/base/cp1250.h"
#include "host/base/terminal_text.h"

namespace wertowik {

using nlohmann::json;

json BoxJson(const BoxRecord& box) {
    return json{
        {"text", Cp1250ToUtf8(box.text)},
        {"caption", box.caption ? json(Cp1250ToUtf8(*box.caption)) : json(nullptr)},
        {"flags", box.flags},
        {"owned", box.owned},
        {"answer", box.answer},
    };
}

// The records are packed: their fields are copied out, never bound to a reference, because a
// two-byte field may stand at an odd address.
json DiscJson(const DecodedDisc& disc) {
    const wtk::TDiscRecord& r = disc.record;
    return json{
        {"discId", uint16_t{r.DiscId}},        {"issue", r.Issue},           {"year", uint16_t{r.Year}},
        {"label", Cp1250ToUtf8(LabelText(r))}, {"nameLength", r.NameLength}, {"name", Cp1250ToUtf8(disc.name)},
    };
}

json EntryJson(const EntryView& entry) {
    return json{
        {"discId", uint16_t{entry.header.DiscId}},
        {"licence", entry.header.LicenceKind},
        {"name", Cp1250ToUtf8(entry.name)},
        {"version", Cp1250ToUtf8(entry.version)},
        {"description", Cp1250ToUtf8(entry.description)},
    };
}

json EntryJson(const DecodedEntry& entry) {
    return EntryJson(EntryView{entry.header, entry.name, entry.version, entry.description});
}

json StreamsJson(std::string_view discStream, std::string_view entryStream) {
    const auto discs = DecodeDiscStream(discStream);
    const auto entries = DecodeEntryStream(entryStream);
    json out = {{"discs", json::array()}, {"entries", json::array()}};
    for (const auto& disc : discs.records) {
        out["discs"].push_back(DiscJson(disc));
    }
    for (const auto& entry : entries.records) {
        out["entries"].push_back(EntryJson(entry));
    }
    out["discsTruncatedAt"] = discs.truncatedAt ? json(*discs.truncatedAt) : json(nullptr);
    out["entriesTruncatedAt"] = entries.truncatedAt ? json(*entries.truncatedAt) : json(nullptr);
    return out;
}

namespace {

// Stand-ins for the arrays WriteOutcomeReport writes itself. A control character in a string is
// always escaped in the text, and a line break stands raw only between members, so the member
// "\n    \"entries\": \"\u0001entries\"" can be nothing but the stand-in.
constexpr char kEntriesStandIn[] =
    "\x01"
    "entries";
constexpr char kProgressStandIn[] =
    "\x01"
    "progress";
constexpr std::string_view kEntriesName = "\n    \"entries\": ";
constexpr std::string_view kEntriesValue = "\"\\u0001entries\"";
constexpr std::string_view kProgressName = "\n    \"progress\": ";
constexpr std::string_view kProgressValue = "\"\\u0001progress\"";

// Where the stand-in's value begins in the text, or npos.
std::size_t StandInAt(const std::string& text, std::string_view name, std::string_view value) {
    const std::size_t at = text.find(std::string(name) + std::string(value));
    return at == std::string::npos ? at : at + name.size();
}

// The members of a registered report are at depth two: their values' elements stand six spaces
// in, and the arrays close four spaces in.
constexpr std::string_view kElementIndent = "      ";
constexpr std::string_view kArrayClose = "\n    ]";
// Text gathered before it is escaped and written.
constexpr std::size_t kChunk = std::size_t{64} << 10;

// Writes what JsonText would give for this piece of the document.
void WriteEscaped(std::ostream& out, std::string& pending) {
    out << EscapeNonPrintingInJson(pending);
    pending.clear();
}

// An element of an array at depth two, indented as dump(2) indents it.
void AppendElement(std::string& pending, bool first, const std::string& dumped) {
    pending += first ? "[\n" : ",\n";
    pending += kElementIndent;
    for (const char c : dumped) {
        pending += c;
        if (c == '\n') {
            pending += kElementIndent;
        }
    }
}

void WriteEntries(std::ostream& out, std::string_view entryStream) {
    std::string pending;
    bool first = true;
    WalkEntryStream(entryStream, [&](const EntryView& entry) {
        AppendElement(pending, first, EntryJson(entry).dump(2, ' ', false, json::error_handler_t::replace));
        first = false;
        if (pending.size() >= kChunk) {
            WriteEscaped(out, pending);
        }
    });
    pending += first ? "[]" : kArrayClose;
    WriteEscaped(out, pending);
}

void WriteProgress(std::ostream& out, const std::vector<int32_t>& progress) {
    std::string pending;
    for (std::size_t i = 0; i < progress.size(); ++i) {
        pending += i == 0 ? "[\n" : ",\n";
        pending += kElementIndent;
        pending += std::to_string(progress[i]);
        if (pending.size() >= kChunk) {
            WriteEscaped(out, pending);
        }
    }
    pending += progress.empty() ? "[]" : kArrayClose;
    WriteEscaped(out, pending);
}

}  // namespace

void WriteOutcomeReport(std::ostream& out, const json& report, std::string_view entryStream,
                        const std::vector<int32_t>& progress) {
    const std::string text = report.dump(2, ' ', false, json::error_handler_t::replace);
    const std::size_t entriesValue = StandInAt(text, kEntriesName, kEntriesValue);
    const std::size_t progressValue = StandInAt(text, kProgressName, kProgressValue);
    if (entriesValue == std::string::npos || progressValue == std::string::npos || progressValue < entriesValue) {
        out << EscapeNonPrintingInJson(text) << '\n';  // nothing registered: nothing left out
        return;
    }
    const std::size_t entriesValueEnd = entriesValue + kEntriesValue.size();
    const std::size_t progressValueEnd = progressValue + kProgressValue.size();
    out << EscapeNonPrintingInJson(std::string_view(text).substr(0, entriesValue));
    WriteEntries(out, entryStream);
    out << EscapeNonPrintingInJson(std::string_view(text).substr(entriesValueEnd, progressValue - entriesValueEnd));
    WriteProgress(out, progress);
    out << EscapeNonPrintingInJson(std::string_view(text).substr(progressValueEnd)) << '\n';
}

json OutcomeJson(const Outcome& outcome, Entries entries) {
    json out;
    out["drive"] = std::string(1, outcome.drive);
    out["label"] = Cp1250ToUtf8(outcome.label);
    out["offers"] = json::array();
    for (const Offer& offer : outcome.offers) {
        json boxes = json::array();
        for (const BoxRecord& box : offer.boxes) {
            boxes.push_back(BoxJson(box));
        }
        out["offers"].push_back({{"plugin", offer.plugin}, {"answer", offer.answer}, {"boxes", boxes}});
    }
    if (!outcome.registered) {
        out["registered"] = nullptr;
        return out;
    }
    const Registered& r = *outcome.registered;
    json registered;
    if (entries == Entries::Within) {
        registered = StreamsJson(r.discStream, r.entryStream);
        registered["progress"] = r.progress;
    } else {
        registered = StreamsJson(r.discStream, std::string_view());
        const std::optional<std::size_t> cut = WalkEntryStream(r.entryStream, [](const EntryView&) {});
        registered["entries"] = kEntriesStandIn;
        registered["entriesTruncatedAt"] = cut ? json(*cut) : json(nullptr);
        registered["progress"] = kProgressStandIn;
    }
    registered["plugin"] = r.plugin;
    registered["result"] = r.result;
    registered["boxes"] = json::array();
    for (const BoxRecord& box : r.boxes) {
        registered["boxes"].push_back(BoxJson(box));
    }
    registered["opened"] = json::array();
    for (const OpenRecord& request : r.opened) {
        registered["opened"].push_back({{"verb", Cp1250ToUtf8(request.verb)}, {"file", Cp1250ToUtf8(request.file)}});
    }
    out["registered"] = std::move(registered);
    return out;
}

std::string JsonText(const nlohmann::json& value, int indent) {
    return EscapeNonPrintingInJson(value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace wertowik
