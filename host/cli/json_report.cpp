#include "host/cli/json_report.h"

#include "host/terminal_text.h"

#include "host/cp1250.h"

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
        {"discId", uint16_t{r.DiscId}},
        {"issue", r.Issue},
        {"year", uint16_t{r.Year}},
        {"label", Cp1250ToUtf8(LabelText(r))},
        {"nameLength", r.NameLength},
        {"name", Cp1250ToUtf8(disc.name)},
    };
}

json EntryJson(const DecodedEntry& entry) {
    return json{
        {"discId", uint16_t{entry.header.DiscId}},
        {"licence", entry.header.LicenceKind},
        {"name", Cp1250ToUtf8(entry.name)},
        {"version", Cp1250ToUtf8(entry.version)},
        {"description", Cp1250ToUtf8(entry.description)},
    };
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

json OutcomeJson(const Outcome& outcome) {
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
    json registered = StreamsJson(r.discStream, r.entryStream);
    registered["plugin"] = r.plugin;
    registered["result"] = r.result;
    registered["progress"] = r.progress;
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
