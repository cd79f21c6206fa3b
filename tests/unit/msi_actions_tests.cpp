// The custom actions' DLL as built, called as Windows Installer calls it: in
// the session of a package made for the test, which holds only the properties
// a test sets, against the test prefix's registry, with the install log's
// lines caught on their way out. Their part in a real install, upgrade and
// uninstall is in tests/package/test_msi.py.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // RegSetKeyValue and friends
#include "app/outside_interface.h"
#include "installer/product_version.h"
#include "tests/support/child_process.h"

#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const WCHAR RUN_KEY_W[] = L"" RUN_KEY;
const WCHAR APPROVED_KEY[] = L"" STARTUP_APPROVED_KEY;
const WCHAR VALUE[] = L"Tandivorex";
const WCHAR INSTALL_DIR[] = L"C:\\Users\\u\\AppData\\Local\\Programs\\Tandivorex\\";
const std::wstring EXE = std::wstring(INSTALL_DIR) + L"Tandivorex.exe";
// Longer than the Run value's 260 characters.
const std::wstring TOO_LONG = L"C:\\" + std::wstring(300, L'd') + L"\\Tandivorex.exe";
const BYTE SWITCHED_OFF[12] = {3, 0, 0, 0, 0xd0, 0x1c, 0x2b, 0x9a, 0x6e, 0x47, 0xdb, 0x01};

// What the actions logged, a line each.
std::wstring g_log;

int WINAPI CatchLogLine(LPVOID, UINT, LPCWSTR pszMessage)
{
    g_log += pszMessage;
    g_log += L"\n";
    return 0;
}

// A value under HKEY_CURRENT_USER: its type, then its bytes; empty when none.
std::string ReadValue(LPCWSTR pszKey)
{
    BYTE data[4096];
    DWORD type = REG_NONE, cb = sizeof data;
    if (::RegGetValueW(HKEY_CURRENT_USER, pszKey, VALUE, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &cb) != ERROR_SUCCESS)
        return std::string();
    return std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), cb);
}

// The Run value as the menu writes it, as ReadValue shows it.
std::string MenuRunValue(const std::wstring& exe)
{
    std::wstring data = L"\"" + exe + L"\"";
    data.resize(MAX_PATH, L'\0');
    return std::to_string(REG_SZ) + ":" +
           std::string(reinterpret_cast<const char*>(data.c_str()), data.size() * sizeof(WCHAR));
}

void SetRunValue(DWORD type, const std::wstring& text)
{
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, RUN_KEY_W, VALUE, type, text.c_str(),
                                               static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))));
}

// What the older release's uninstall takes away, and what a test leaves.
void DeleteValues()
{
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, RUN_KEY_W, VALUE);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, APPROVED_KEY, VALUE);
}

void SetMarker()
{
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetKeyValueW(HKEY_CURRENT_USER, APPROVED_KEY, VALUE, REG_BINARY, SWITCHED_OFF, sizeof SWITCHED_OFF));
}

// A package of nothing but an empty Property table, enough for a session; left
// closed, or the session could not open it.
void MakePackage(const std::wstring& path)
{
    PMSIHANDLE hDatabase, hView, hSummary;
    ASSERT_EQ(0u, ::MsiOpenDatabaseW(path.c_str(), reinterpret_cast<LPCWSTR>(MSIDBOPEN_CREATE), &hDatabase));
    ASSERT_EQ(0u, ::MsiDatabaseOpenViewW(hDatabase,
                                         L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, "
                                         L"`Value` CHAR(0) NOT NULL PRIMARY KEY `Property`)",
                                         &hView));
    ASSERT_EQ(0u, ::MsiViewExecute(hView, 0));
    ASSERT_EQ(0u, ::MsiGetSummaryInformationW(hDatabase, nullptr, 4, &hSummary));
    ::MsiSummaryInfoSetPropertyW(hSummary, PIDSI_TEMPLATE, VT_LPSTR, 0, nullptr, L"Intel;1033");
    ::MsiSummaryInfoSetPropertyW(hSummary, PIDSI_REVNUMBER, VT_LPSTR, 0, nullptr,
                                 L"{6C1E4C58-5D1A-4C5E-9E0B-3F0B8B7F4A21}");
    ::MsiSummaryInfoSetPropertyW(hSummary, PIDSI_PAGECOUNT, VT_I4, 200, nullptr, nullptr);
    ASSERT_EQ(0u, ::MsiSummaryInfoPersist(hSummary));
    ASSERT_EQ(0u, ::MsiDatabaseCommit(hDatabase));
}

class MsiActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_hDll = ::LoadLibraryA(BinPath("msi_actions.dll").c_str());
        ASSERT_NE(nullptr, m_hDll);
        WCHAR szTemp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, szTemp);
        m_package = std::wstring(szTemp) + L"tandivorex-actions-test.msi";
        ASSERT_NO_FATAL_FAILURE(MakePackage(m_package));
        ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        ::MsiSetExternalUIW(CatchLogLine, INSTALLLOGMODE_INFO, nullptr);
        ASSERT_EQ(0u, ::MsiOpenPackageW(m_package.c_str(), &m_hSession));
        g_log.clear();
        DeleteValues();
    }

    void TearDown() override
    {
        DeleteValues();
        ::MsiCloseHandle(m_hSession);
        ::MsiSetExternalUIW(nullptr, 0, nullptr);
        ::DeleteFileW(m_package.c_str());
        if (m_hDll != nullptr)
            ::FreeLibrary(m_hDll);
    }

    UINT Run(const char* pszAction, LPCWSTR pszProperty, const std::wstring& value)
    {
        ::MsiSetPropertyW(m_hSession, pszProperty, value.c_str());
        auto action = reinterpret_cast<UINT(__stdcall*)(MSIHANDLE)>(
            reinterpret_cast<void (*)()>(::GetProcAddress(m_hDll, pszAction)));
        return action != nullptr ? action(m_hSession) : ERROR_PROC_NOT_FOUND;
    }

    std::wstring Property(LPCWSTR pszName)
    {
        WCHAR value[256] = {};
        DWORD cch = 256;
        ::MsiGetPropertyW(m_hSession, pszName, value, &cch);
        return value;
    }

    HMODULE m_hDll = nullptr;
    MSIHANDLE m_hSession = 0;
    std::wstring m_package;
};

// Only a value that starts just this program, quoted or not, goes, and Task
// Manager's marker with it; a value too long to be ours is not read as ours.
TEST_F(MsiActions, UninstallRemovesARunValueOnlyWhenItStartsJustThisProgram)
{
    const struct {
        DWORD type;
        std::wstring value, exe;
        bool ours;
    } cases[] = {
        {REG_SZ, L"\"" + EXE + L"\"", EXE, true},
        {REG_EXPAND_SZ, L"c:\\users\\U\\appdata\\local\\programs\\tandivorex\\TANDIVOREX.EXE", EXE, true},
        {REG_SZ, L"\"" + EXE + L"\" /min", EXE, false},
        {REG_SZ, L"\"C:\\Tools\\Tandivorex.exe\"", EXE, false},
        {REG_SZ, L"\"", L"", false}, // a lone quote, not an empty path in quotes
        {REG_SZ, TOO_LONG, TOO_LONG, false},
    };
    for (const auto& c : cases) {
        SetRunValue(c.type, c.value);
        SetMarker();
        EXPECT_EQ(0u, Run("RemoveAutoRun", L"CustomActionData", c.exe));
        EXPECT_EQ(c.ours, ReadValue(RUN_KEY_W).empty()) << c.value;
        EXPECT_EQ(c.ours, ReadValue(APPROVED_KEY).empty()) << c.value;
    }
    EXPECT_NE(std::wstring::npos, g_log.find(L"RemoveAutoRun: no Run value starts " + TOO_LONG + L"; none removed\n"));
}

// What the older release's uninstall takes, the upgrade puts back: the Run
// value in the menu's form, and the marker when there was one.
TEST_F(MsiActions, AnUpgradeCarriesAutoRunAndTheMarkerThroughTheOlderUninstall)
{
    for (bool marked : {true, false}) {
        DeleteValues();
        SetRunValue(REG_SZ, L"\"" + EXE + L"\"");
        if (marked)
            SetMarker();
        EXPECT_EQ(0u, Run("RememberAutoRun", L"INSTALLDIR", INSTALL_DIR));
        std::wstring kept = Property(L"TandivorexKeepAutoRun");
        EXPECT_EQ(marked ? L"03000000d01c2b9a6e47db01" : L"-", kept);
        DeleteValues();
        EXPECT_EQ(0u, Run("RestoreAutoRun", L"CustomActionData", EXE + L"|" + kept));
        EXPECT_EQ(MenuRunValue(EXE), ReadValue(RUN_KEY_W));
        EXPECT_EQ(marked ? "3:" + std::string(reinterpret_cast<const char*>(SWITCHED_OFF), 12) : "",
                  ReadValue(APPROVED_KEY));
        ::MsiSetPropertyW(m_hSession, L"TandivorexKeepAutoRun", nullptr);
    }
    // Another copy's value: nothing to keep.
    SetRunValue(REG_SZ, L"\"C:\\Tools\\Tandivorex.exe\"");
    EXPECT_EQ(0u, Run("RememberAutoRun", L"INSTALLDIR", INSTALL_DIR));
    EXPECT_EQ(L"", Property(L"TandivorexKeepAutoRun"));
}

// An install asked for auto-start fails rather than end without it, and the
// log names the whole path.
TEST_F(MsiActions, APathTooLongForTheRunValueFailsTheInstall)
{
    EXPECT_EQ(static_cast<UINT>(ERROR_INSTALL_FAILURE), Run("WriteAutoRun", L"CustomActionData", TOO_LONG));
    EXPECT_EQ("", ReadValue(RUN_KEY_W));
    EXPECT_NE(std::wstring::npos,
              g_log.find(L"WriteAutoRun: the path is too long for the Run value: " + TOO_LONG + L"\n"));
}

TEST(ProductVersion, ComparesAllFourFieldsAsNumbers)
{
    EXPECT_GT(CompareVersions(L"1.0.0.10", L"1.0.0.9"), 0);
    EXPECT_LT(CompareVersions(L"2.0.0.0", L"10.0.0.0"), 0);
    EXPECT_EQ(0, CompareVersions(L"1.2", L"1.2.0.0"));
    EXPECT_EQ(0, CompareVersions(L"1.0.0.4 beta.7", L"1.0.0.4"));
    EXPECT_EQ(0, CompareVersions(L"1.0x.5", L"1.0"));
    EXPECT_GT(CompareVersions(L"0.0.0.1", L""), 0);
}

} // namespace
