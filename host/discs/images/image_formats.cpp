#include "host/discs/images/image_formats.h"

#include <algorithm>

#include "host/discs/images/ccd_image.h"
#include "host/discs/images/cd_image_files.h"
#include "host/discs/images/image_blocks.h"
#include "host/discs/images/mds_image.h"
#include "host/discs/windows_names.h"

namespace wertowik {

namespace {

constexpr std::string_view kChdSignature = "MComprHD";

bool OpensAsFrames(std::string_view head) { return TrackOfBareFrames(head).has_value(); }
// A text (no NUL in it) whose first track this host can read.
bool OpensAsCueSheet(std::string_view head) {
    return head.find('\0') == std::string_view::npos && FirstTrackOfCueSheet(head).has_value();
}

const ImageFormat& CueSheet() { return ImageFormats()[1]; }

}  // namespace

const std::vector<ImageFormat>& ImageFormats() {
    static const std::vector<ImageFormat> formats{
        {"frames or blocks", {".ISO", ".BIN", ".IMG", ".RAW"}, OpensAsFrames},
        {"cue sheet", {".CUE"}, OpensAsCueSheet, true, kImageHead},
        {"Alcohol", {".MDS", ".MDF"}, IsMdsDescriptor, true},
        {"CloneCD", {".CCD", ".IMG"}, IsCcdControlFile, true},
        {"Nero", {".NRG"}, nullptr},
        {"CHD", {".CHD"}, OpensAsChd},
        {"DiscJuggler", {".CDI"}, nullptr},
    };
    return formats;
}

bool NamesImageFile(const std::filesystem::path& name) {
    const std::string extension = FoldCase(name.extension().string());
    return std::any_of(ImageFormats().begin(), ImageFormats().end(), [&extension](const ImageFormat& format) {
        return std::find(format.extensions.begin(), format.extensions.end(), extension) != format.extensions.end();
    });
}

bool OpensAsImage(std::string_view head) {
    return std::any_of(ImageFormats().begin(), ImageFormats().end(),
                       [head](const ImageFormat& format) { return format.opensAs != nullptr && format.opensAs(head); });
}

bool IsDescriptorFile(const std::filesystem::path& file) {
    const ImageFile image(file);
    const std::string head = image.ReadAt(0, kImageHead);
    return std::any_of(ImageFormats().begin(), ImageFormats().end(), [&](const ImageFormat& format) {
        return format.describesFrames && image.Size() <= format.longest && format.opensAs(head);
    });
}

bool HoldsCueSheet(const std::filesystem::path& file) {
    const ImageFile image(file);
    const std::string head = image.ReadAt(0, kImageHead);
    return image.Size() <= CueSheet().longest && CueSheet().opensAs(head);
}

bool OpensAsChd(std::string_view head) { return head.substr(0, kChdSignature.size()) == kChdSignature; }

}  // namespace wertowik
