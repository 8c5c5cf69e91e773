// What an ISO 9660 image records becomes what a disc shows: its names, its label, the times of
// its files; and where its Joliet names are.
#pragma once

#include <cdio/bytesex.h>
#include <cdio/iso9660.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/discs/images/image_blocks.h"

namespace wertowik {

// A Joliet name (UTF-16, big-endian, surrogate pairs included) as UTF-8; a lone surrogate becomes
// U+FFFD and an odd last byte is dropped.
std::string JolietNameToUtf8(std::string_view bytes);

// Without the ";1" version suffix, and for an ISO 9660 (not Joliet) name without the dot that
// stands for an empty extension: "README.;1" is README.
std::string PlainName(std::string name, bool joliet);

// A directory record's recording time (seven bytes: years since 1900, month, day, hour, minute,
// second, and the zone as a signed count of quarter hours east of Greenwich) in seconds since
// 1970, UTC; nothing when the bytes hold no date.
std::optional<int64_t> RecordedTime(const unsigned char* time);

// The first Joliet descriptor behind the primary one, looked for as libiso9660 looks for it:
// descriptor by descriptor up to the terminator, the image's end or a block it cannot read.
std::optional<iso9660_svd_t> JolietDescriptor(const Blocks& blocks, uint64_t imageSize);

// The label as libiso9660 gives it: the Joliet identifier when it is not empty
// and does not begin the primary one (which may be longer, and is then kept), else the primary one.
std::string VolumeLabel(const iso9660_pvd_t& pvd, const std::optional<iso9660_svd_t>& joliet);

}  // namespace wertowik
