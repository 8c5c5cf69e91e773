// Appending to the host's streams, and the two record writers every plug-in uses.
#pragma once

#include <cstddef>
#include <string_view>

#include "host_calls.h"
#include "host_stream.h"
#include "records.h"

namespace wtk {

// Longest texts a record can carry: the length fields are one byte (names, versions) or two
// bytes (descriptions); a longer text is cut to its first bytes so header and data agree.
inline constexpr std::size_t kMaxNameLength = 255;
inline constexpr std::size_t kMaxVersionLength = 255;
inline constexpr std::size_t kMaxDescriptionLength = 65535;

// One of the host's streams, reached through the host's variable that holds it.
// A failed size query, position or write is thrown as a PluginError.
class StreamAccess {
public:
    explicit StreamAccess(HostStream** variable);

    // Size query, then SetPosition to that size: everything after this appends.
    void MoveToEnd();
    // Writes all bytes at the current position; nothing happens for an empty buffer. Inline: the
    // libraries write four times for every entry.
    void Write(const void* bytes, std::size_t count) {
        if (count == 0) {
            return;
        }
        if (count > kMaxWrite) {
            ThrowTooLarge();
        }
        HostStreamWrite(Stream(), bytes, static_cast<int32_t>(count));
    }
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

private:
    static constexpr std::size_t kMaxWrite = 0x7FFFFFFF;  // a write's count is a signed 32-bit number

    HostStream* Stream() const {
        if (variable_ == nullptr || *variable_ == nullptr || (*variable_)->methods == nullptr) {
            ThrowNoStream();
        }
        return *variable_;
    }
    [[noreturn]] static void ThrowNoStream();
    [[noreturn]] static void ThrowTooLarge();

    HostStream** variable_;
};

// Whether a writer moves the stream to its end once more before it writes.
enum class Reposition { No, Yes };

// Sets NameLength and appends the 25 record bytes and the disc name.
void WriteDiscRecord(StreamAccess& discStream, TDiscRecord& record, std::string_view discName,
                     Reposition reposition = Reposition::No);

// Appends a fresh entry header for the record's disc and the three texts.
void WriteEntry(StreamAccess& entryStream, const TDiscRecord& record, TLicenceKind licence, std::string_view name,
                std::string_view version, std::string_view description, Reposition reposition = Reposition::No);

// The header WriteEntry writes for these texts (lengths already capped).
TEntryHeader MakeEntryHeader(const TDiscRecord& record, TLicenceKind licence, std::string_view name,
                             std::string_view version, std::string_view description);

}  // namespace wtk
