// The one table of image formats: which names an archive's member is taken by, and which opening
// bytes are an image's or a descriptor's.
#include "host/discs/images/image_formats.h"

#include <gtest/gtest.h>

#include <string>

namespace wertowik {
namespace {

TEST(ImageFormats, MembersAreTakenByTheirNamesWhateverTheLetterCase) {
    const struct {
        const char* name;
        bool taken;
    } cases[] = {{"disc.iso", true}, {"DISC.Mdf", true},    {"disc.mds", true},   {"a.cue", true}, {"b.NRG", true},
                 {"c.chd", true},    {"d.cdi", true},       {"e.img", true},      {"f.ccd", true}, {"g.raw", true},
                 {"h.bin", true},    {"readme.txt", false}, {"setup.exe", false}, {"iso", false},  {"disc.sub", false}};
    for (const auto& item : cases) {
        EXPECT_EQ(NamesImageFile(item.name), item.taken) << item.name;
    }
}

TEST(ImageFormats, OpeningBytesTellImagesFromOtherFiles) {
    const struct {
        const char* what;
        std::string head;
        bool image;
    } cases[] = {
        {"a CHD image", std::string("MComprHD") + std::string(120, '\0'), true},
        {"a CloneCD control file", "[CloneCD]\r\nVersion=3\r\n", true},
        {"a cue sheet", "FILE \"disc.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n", true},
        {"a zip archive", std::string("PK\x03\x04", 4) + std::string(60, '\0'), false},
        {"a text", "Hello, this is no disc.\r\n", false},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(OpensAsImage(item.head), item.image) << item.what;
    }
}

}  // namespace
}  // namespace wertowik
