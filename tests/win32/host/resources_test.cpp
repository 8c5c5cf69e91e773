// The resources each library carries for the host, read back with the Windows resource functions.
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "test_support.h"

namespace wtk::win32test {

namespace {

class ResourcesTest : public testing::TestWithParam<LibraryFacts> {};

std::string ResourceBytes(HMODULE module, LPCSTR name, LPCSTR type) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) {
        return std::string();
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return std::string();
    }
    return std::string(static_cast<const char*>(data), SizeofResource(module, found));
}

uint16_t Word(const std::string& bytes, std::size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

BITMAPINFOHEADER InfoHeader(const std::string& bytes) {
    BITMAPINFOHEADER header{};
    if (bytes.size() >= sizeof header) {
        std::memcpy(&header, bytes.data(), sizeof header);
    }
    return header;
}

TEST_P(ResourcesTest, GifIconIsAGif89aOfTheLibrarySize) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    const std::string gif = ResourceBytes(library->module(), "ICON", "GIF");
    ASSERT_GE(gif.size(), 14u);
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    EXPECT_EQ(Word(gif, 6), facts.gifWidth);
    EXPECT_EQ(Word(gif, 8), facts.gifHeight);
    EXPECT_EQ(gif.back(), '\x3B') << "the GIF trailer ends the image";
}

TEST_P(ResourcesTest, MenuIconIsABare16By16TwentyFourBitBitmapOf808Bytes) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    const std::string bitmap = ResourceBytes(library->module(), "MENUICON", RT_BITMAP);
    ASSERT_EQ(bitmap.size(), 808u);
    const BITMAPINFOHEADER header = InfoHeader(bitmap);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 16);
    EXPECT_EQ(header.biHeight, 16);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));

    HBITMAP loaded = static_cast<HBITMAP>(LoadImageA(library->module(), "MENUICON", IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(loaded, nullptr) << GetLastError();
    BITMAP info{};
    EXPECT_NE(GetObjectA(loaded, sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 16);
    EXPECT_EQ(info.bmHeight, 16);
    DeleteObject(loaded);
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;
    BYTE height;
    BYTE colourCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInResource;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14, "a group icon directory entry is 14 bytes");

TEST_P(ResourcesTest, IconGroupHoldsTheImagesOfEachSizeAndDepth) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    const std::string group = ResourceBytes(library->module(), "ICON", RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u);
    EXPECT_EQ(Word(group, 0), 0);
    EXPECT_EQ(Word(group, 2), 1) << "an icon, not a cursor";
    const std::size_t count = Word(group, 4);
    ASSERT_EQ(count, facts.iconImages.size());
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));

    std::set<std::pair<int, int>> expected;
    for (const IconImage& image : facts.iconImages) {
        expected.insert({image.size, image.bits});
    }
    std::set<std::pair<int, int>> seen;
    for (std::size_t i = 0; i < count; ++i) {
        GroupIconEntry entry{};
        std::memcpy(&entry, group.data() + 6 + i * sizeof entry, sizeof entry);
        SCOPED_TRACE("icon image " + std::to_string(entry.id));
        EXPECT_EQ(entry.width, entry.height);
        seen.insert({entry.width, entry.bitCount});

        const std::string image = ResourceBytes(library->module(), MAKEINTRESOURCEA(entry.id), RT_ICON);
        ASSERT_EQ(image.size(), entry.bytesInResource);
        const BITMAPINFOHEADER header = InfoHeader(image);
        EXPECT_EQ(header.biSize, 40u);
        EXPECT_EQ(header.biWidth, entry.width);
        EXPECT_EQ(header.biHeight, 2 * entry.width) << "colour rows and mask rows";
        EXPECT_EQ(header.biBitCount, entry.bitCount);
        const std::size_t colours = entry.bitCount <= 8 ? (1u << entry.bitCount) : 0;
        const std::size_t colourRow = ((entry.width * entry.bitCount + 31) / 32) * 4;
        const std::size_t maskRow = ((entry.width + 31) / 32) * 4;
        EXPECT_EQ(image.size(), 40 + colours * 4 + entry.width * (colourRow + maskRow));
    }
    EXPECT_EQ(seen, expected);
}

std::string VersionText(const std::vector<char>& block, const std::string& key) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\041504E2\\" + key;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || value == nullptr) {
        return "<missing " + key + ">";
    }
    return std::string(value);
}

TEST_P(ResourcesTest, VersionResourceCarriesTheDescriptionAndFileVersion) {
    const LibraryFacts& facts = GetParam();
    WTK_LOAD_OR_SKIP(library, facts.name);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(library->file().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(library->file().c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const auto& v = facts.fileVersion;
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), v[0]);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), v[1]);
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), v[2]);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), v[3]);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0415);
    EXPECT_EQ(translation[1], 1250);

    const std::string versionText = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
                                    "." + std::to_string(v[3]);
    EXPECT_EQ(VersionText(block, "FileDescription"), facts.fileDescription);
    EXPECT_EQ(VersionText(block, "FileVersion"), versionText);
    EXPECT_EQ(VersionText(block, "OriginalFilename"), facts.name + ".dll");
}

INSTANTIATE_TEST_SUITE_P(Libraries, ResourcesTest, testing::ValuesIn(AllLibraries()), LibraryName());

}  // namespace

}  // namespace wtk::win32test
