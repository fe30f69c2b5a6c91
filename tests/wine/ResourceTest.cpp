// The resources compiled into the program besides the templates: icon, string table, version.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/WinApp.h"
#include "res/resource.h"

namespace orlup::test {
namespace {

const LANGID UsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST(ResourceTest, IconGroupHoldsA256ColourAndA16ColourImage) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC group =
        FindResourceExA(module, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(IDI_ORLUP), UsEnglish);
    ASSERT_NE(nullptr, group);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, group)));
    // GRPICONDIR: a count, then 14-byte entries of width, height, colours, ..., bits per pixel.
    ASSERT_EQ(2, bytes[4] | bytes[5] << 8);
    const uint8_t* big = bytes + 6;
    const uint8_t* small = big + 14;
    EXPECT_EQ((std::vector<int>{32, 32, 0, 8}), (std::vector<int>{big[0], big[1], big[2], big[6]}));
    EXPECT_EQ((std::vector<int>{16, 16, 16, 4}),
              (std::vector<int>{small[0], small[1], small[2], small[6]}));

    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(LoadIconA(module, MAKEINTRESOURCEA(IDI_ORLUP)), &info));
    BITMAP mask{};
    GetObjectA(info.hbmMask, sizeof(mask), &mask);
    EXPECT_EQ(32, mask.bmWidth);  // LoadIconA picks the standard size
    DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
}

TEST(ResourceTest, StringTableHoldsTheAboutItemAndNoApplicationTitle) {
    char text[256] = {};
    EXPECT_EQ(15, LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUT_ITEM, text, sizeof(text)));
    EXPECT_STREQ("&About Orlup...", text);
    EXPECT_EQ(0, LoadStringA(GetModuleHandleA(nullptr), 0xE000, text, sizeof(text)));
}

std::string VersionString(const std::vector<char>& block, const std::string& key) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\040904B0\\" + key;
    if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return "<missing>";
    }
    return value;
}

TEST(ResourceTest, VersionBlockNamesTheProgram) {
    const std::string path = ModulePath();
    std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(
        GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(1, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(MAKELONG(1, 1), fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0409, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    EXPECT_EQ("1, 1, 0, 0", VersionString(block, "FileVersion"));
    EXPECT_EQ("1, 1, 0, 0", VersionString(block, "ProductVersion"));
    EXPECT_EQ("Orlup MFC Application", VersionString(block, "FileDescription"));
    EXPECT_EQ("Orlup", VersionString(block, "InternalName"));
    EXPECT_EQ("Orlup.EXE", VersionString(block, "OriginalFilename"));
    EXPECT_EQ("Orlup Application", VersionString(block, "ProductName"));
    EXPECT_EQ("Revised Dec 5, 2002", VersionString(block, "Comments"));
}

}  // namespace
}  // namespace orlup::test
