// The resources of the built Tandivorex.exe, as Windows and Explorer read them.
#include "res/resource.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

namespace {

TEST(Resources, EachIsThereInItsLanguageAndTheMenuHoldsItsItems)
{
    HMODULE hModule = ::LoadLibraryExA(BinPath("Tandivorex.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, hModule);
    const WORD LANG_PRC = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    const WORD LANG_US = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const struct { LPCSTR type; UINT id; WORD lang; } resources[] = {
        {RT_GROUP_ICON, IDR_MAINFRAME, LANG_PRC}, {RT_GROUP_ICON, IDI_NO_DEVICE, LANG_PRC},
        {RT_GROUP_ICON, IDI_NO_PHONE, LANG_PRC},  {RT_MENU, IDR_TRAY_MENU, LANG_PRC},
        {RT_DIALOG, IDD_ABOUTBOX, LANG_US},       {RT_DIALOG, IDD_MAIN_DIALOG, LANG_US},
    };
    for (const auto& r : resources)
        EXPECT_NE(nullptr, ::FindResourceExA(hModule, r.type, MAKEINTRESOURCEA(r.id), r.lang)) << r.id;

    HMENU hMenu = ::LoadMenuA(hModule, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    char sz[32] = {};
    ::GetMenuStringA(hMenu, 0, sz, sizeof sz, MF_BYPOSITION);
    EXPECT_STREQ("POPMENU", sz);
    HMENU hPopup = ::GetSubMenu(hMenu, 0);
    const struct { UINT id; const char* text; } items[] = {
        {ID_TRAY_ABOUT, "About"}, {ID_TRAY_AUTORUN, "AutoRun"}, {0, ""}, {ID_TRAY_EXIT, "Exit"}};
    ASSERT_EQ(4, ::GetMenuItemCount(hPopup));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i].id, ::GetMenuItemID(hPopup, i));
        sz[0] = 0;
        ::GetMenuStringA(hPopup, i, sz, sizeof sz, MF_BYPOSITION);
        EXPECT_STREQ(items[i].text, sz);
    }
    EXPECT_TRUE(::GetMenuState(hPopup, 2, MF_BYPOSITION) & MF_SEPARATOR);
    ::DestroyMenu(hMenu);
    ::FreeLibrary(hModule);
}

TEST(Resources, VersionRecord)
{
    std::string exe = BinPath("Tandivorex.exe");
    DWORD dwHandle = 0;
    std::vector<BYTE> info(::GetFileVersionInfoSizeA(exe.c_str(), &dwHandle));
    ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT uLen = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&pFixed), &uLen));
    EXPECT_EQ(MAKELONG(0, 1), pFixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(3, 0), pFixed->dwFileVersionLS);
    EXPECT_EQ(pFixed->dwFileVersionMS, pFixed->dwProductVersionMS);
    EXPECT_EQ(pFixed->dwFileVersionLS, pFixed->dwProductVersionLS);

    WORD* pTranslation = nullptr;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation), &uLen));
    EXPECT_EQ(0x0804, pTranslation[0]);
    EXPECT_EQ(1200, pTranslation[1]);
    const struct { const char* name; const char* value; } strings[] = {
        {"FileDescription", "Tandivorex"}, {"FileVersion", "1, 0, 0, 3"},        {"InternalName", "Tandivorex"},
        {"OriginalFilename", "Tandivorex.exe"}, {"ProductName", "Tandivorex"}, {"ProductVersion", "1, 0, 0, 3"},
    };
    for (const auto& s : strings) {
        char* pValue = nullptr;
        std::string path = std::string("\\StringFileInfo\\080404B0\\") + s.name;
        ASSERT_TRUE(::VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&pValue), &uLen)) << s.name;
        EXPECT_STREQ(s.value, pValue);
    }
}

} // namespace
