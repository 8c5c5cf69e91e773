// Byte layouts and one-byte codes exchanged between the host and a plug-in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wtk {

// Calling convention of the callbacks the host hands over (progress, stream methods).
#if defined(_WIN32) && defined(__i386__)
#define WTK_STDCALL __attribute__((stdcall))
#else
#define WTK_STDCALL
#endif

#pragma pack(push, 1)

// The disc record: the host passes it by value, the plug-in writes its copy to the disc stream.
struct TDiscRecord {
    uint16_t DiscId;
    uint8_t Issue;
    uint16_t Year;
    uint8_t Label[15];  // length byte (0..14), then up to 14 text bytes
    uint8_t HostData[4];
    uint8_t NameLength;
};

// Precedes the name, version and description of every program in the entry stream.
struct TEntryHeader {
    uint16_t DiscId;
    uint8_t LicenceKind;
    uint8_t NameLength;
    uint8_t Reserved;
    uint8_t VersionLength;
    uint16_t DescriptionLength;
};

#pragma pack(pop)

static_assert(sizeof(TDiscRecord) == 25, "the disc record is 25 packed bytes");
static_assert(offsetof(TDiscRecord, Year) == 3 && offsetof(TDiscRecord, Label) == 5 &&
                  offsetof(TDiscRecord, HostData) == 20 && offsetof(TDiscRecord, NameLength) == 24,
              "disc record field offsets");
static_assert(sizeof(TEntryHeader) == 8, "the entry header is 8 packed bytes");
static_assert(offsetof(TEntryHeader, VersionLength) == 5 && offsetof(TEntryHeader, DescriptionLength) == 6,
              "entry header field offsets");

enum TLicenceKind : uint8_t {
    lkUnspecified = 0,
    lkShareware = 1,
    lkFreeware = 2,
    lkDemo = 3,
    lkFull = 4,
    lkTrial = 5,
    lkGpl = 6,
    lkAdware = 7,
};

// Answer of CanYouRegister.
enum TRegisterAnswer : uint8_t {
    raFull = 0,
    raNotMine = 1,
    raDiscOnly = 2,
};

// Result of RegisterCD.
enum TRegisterResult : uint8_t {
    rrDone = 0,
    rrNoEntries = 1,
    rrFailed = 2,
};

// The host's progress callback: one percentage per call.
using TProgressProc = void(WTK_STDCALL*)(int32_t percent);

// Texts of the label field: how many bytes it holds, and where they start.
inline std::size_t LabelLength(const TDiscRecord& record) { return record.Label[0] <= 14 ? record.Label[0] : 14; }

}  // namespace wtk
