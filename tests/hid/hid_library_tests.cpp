// The HID edition alone, through the real hid.dll, SetupAPI, Wine's HID class
// driver and parser, against the virtual USB phone of three real devices'
// descriptors: what each usage reports, the lamps each command lights, losing
// and finding the device, and what a long run of plugging leaves behind.
#include "tests/hid/hid_edition.h"

#include "hid/hid_api.h"

#include "app/outside_interface.h"
#include "standins/hid_phone/virtual_phone.h"

#include <gtest/gtest.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <map>
#include <set>
#include <string>

namespace {

typedef std::vector<BYTE> Report;
typedef std::vector<QvEvent> Events;

const QvEvent OFF_HOOK = {QV_EVENT_ACTIVATE, 0};
const QvEvent ON_HOOK = {QV_EVENT_ESCAPE, 0};
const QvEvent ENTER = {QV_EVENT_KEY, QV_KEY_ENTER};
const QvEvent LOST = {QV_EVENT_DEVICE_LOST, 0};

// A lamp of a model: which bit of which output report holds it.
struct Lamp {
    BYTE reportId;
    int byteIndex;
    int bit;
    const char* name;
};

// One input report sent and the events it must give.
struct Step {
    Report report;
    Events events;
};

// The models' reports, read off their descriptors (standins/hid_phone).
// "headset-ids": report 2, Phone Mute (relative), Hook Switch, Flash
// (absolute), Button 1 in bits 0 to 3; each lamp in an output report of its own.
const Lamp HEADSET_LAMPS[] = {
    {0x09, 1, 0, "Mute"}, {0x20, 1, 0, "Hold"}, {0x17, 1, 0, "Off-Hook"}, {0x18, 1, 0, "Ring"}};
// "keypad": report 2, the key pad an array of four bits from bit 6 (null
// from 12); one output report with the lamps and the ringer.
const Lamp KEYPAD_LAMPS[] = {{2, 1, 0, "Off-Hook"}, {2, 1, 1, "Mute"},       {2, 1, 2, "Ring"},
                             {2, 1, 3, "Hold"},     {2, 1, 4, "Microphone"}, {2, 1, 5, "Ringer"}};
// "toggle-hook": report 0x0B, Hook Switch, Phone Mute, Redial, Flash, Drop
// (all relative), Button 1 in bits 0 to 5; one output report of lamps.
const Lamp TOGGLE_LAMPS[] = {{0x0B, 1, 0, "Off-Hook"}, {0x0B, 1, 1, "Mute"},    {0x0B, 1, 2, "Ring"},
                             {0x0B, 1, 3, "Microphone"}, {0x0B, 1, 4, "On-Line"}, {0x0B, 1, 5, "Hold"}};

// The key pad's array sits where hid.dll's parser puts it: Wine's counts the
// bits of this device's constant fields differently from the descriptor's
// plain reading, so its reports are built through the plugged collection.
Report KeypadReport(USAGE key, BOOL bHookLifted = FALSE)
{
    std::vector<USAGE> usages;
    if (bHookLifted)
        usages.push_back(0x20);
    if (key != 0)
        usages.push_back(key);
    Report report;
    wchar_t path[MAX_PATH];
    if (!VirtualPhoneFindCollection(0x0B, path, MAX_PATH))
        return report;
    HANDLE hDevice = ::CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    PHIDP_PREPARSED_DATA pData = nullptr;
    HIDP_CAPS caps = {};
    if (hDevice != INVALID_HANDLE_VALUE && ::HidD_GetPreparsedData(hDevice, &pData)
        && ::HidP_GetCaps(pData, &caps) == HIDP_STATUS_SUCCESS) {
        report.assign(caps.InputReportByteLength, 0);
        PCHAR pBytes = reinterpret_cast<PCHAR>(report.data());
        ULONG n = static_cast<ULONG>(usages.size());
        if (::HidP_InitializeReportForID(HidP_Input, 2, pData, pBytes, caps.InputReportByteLength) != HIDP_STATUS_SUCCESS
            || (n != 0
                && ::HidP_SetUsages(HidP_Input, 0x0B, 0, usages.data(), &n, pData, pBytes, caps.InputReportByteLength)
                    != HIDP_STATUS_SUCCESS))
            report.clear();
    }
    if (pData != nullptr)
        ::HidD_FreePreparsedData(pData);
    if (hDevice != INVALID_HANDLE_VALUE)
        ::CloseHandle(hDevice);
    return report;
}

Report KeypadKey(int index, BOOL bHookLifted = FALSE)
{
    return KeypadReport(static_cast<USAGE>(0xB0 + index), bHookLifted);
}
const Report HEADSET_IDLE = {0x02, 0x00, 0x00};
const Report TOGGLE_IDLE = {0x0B, 0x00};

BOOL Send(const Report& report)
{
    return VirtualPhoneSendInput(report.data(), static_cast<DWORD>(report.size())) != FALSE;
}

// The lamps lit once the reports are applied in order to a device whose
// lamps were as in lit.
template <size_t N>
std::set<std::string> ApplyOutputs(std::set<std::string> lit, const Lamp (&lamps)[N], const std::vector<Report>& outputs)
{
    for (const Report& report : outputs) {
        for (const Lamp& lamp : lamps) {
            if (report.empty() || report[0] != lamp.reportId || static_cast<int>(report.size()) <= lamp.byteIndex)
                continue;
            if (report[lamp.byteIndex] & (1 << lamp.bit))
                lit.insert(lamp.name);
            else
                lit.erase(lamp.name);
        }
    }
    return lit;
}

std::string Describe(const Events& events)
{
    std::string text;
    for (const QvEvent& e : events)
        text += "(" + std::to_string(e.type) + "," + std::to_string(e.value) + ") ";
    return text;
}

class HidEditionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(VirtualPhoneInstallDriver()); }

    void SetUp() override { ASSERT_TRUE(m_edition.Loaded()) << "no QVUSBTEL.dll in ../hid"; }

    void TearDown() override
    {
        m_edition.Close();
        VirtualPhoneSetAnswering(TRUE);
        VirtualPhoneUnplug();
    }

    // Plugs the model and opens it as the program does.
    void PlugAndOpen(const char* pszModel)
    {
        const VirtualPhoneModel* pModel = FindVirtualPhoneModel(pszModel);
        ASSERT_NE(nullptr, pModel) << pszModel;
        ASSERT_TRUE(VirtualPhonePlug(pModel)) << pszModel;
        ASSERT_NE(0, m_edition.OpenWithin(&m_log, 10000)) << pszModel << " was not opened";
        VirtualPhoneTakeOutputList();
    }

    // Sends each step's report, and checks that all of them together gave
    // exactly their events, in order: a usage that must give nothing is
    // followed by one that gives something, so an event too many shows.
    void Play(const std::vector<Step>& steps)
    {
        Events expected;
        for (const Step& step : steps) {
            ASSERT_TRUE(Send(step.report));
            expected.insert(expected.end(), step.events.begin(), step.events.end());
            if (step.events.empty())
                ::Sleep(50);
            else
                m_log.WaitFor(expected.size(), 10000, 0);
        }
        Events events = m_log.WaitFor(expected.size());
        EXPECT_EQ(expected, events) << "expected " << Describe(expected) << "\ngot " << Describe(events);
        m_log.Clear();
    }

    CHidEdition& m_edition = CHidEdition::Get();
    CEventLog m_log;
};

TEST_F(HidEditionTest, WithNoDeviceOpenRefusesCheaplyAndCloseAndCommandsAreSafe)
{
    VirtualPhoneUnplug();
    EXPECT_EQ(1, m_edition.Close()) << "close with nothing open";
    EXPECT_EQ(0, m_edition.Command(0x1004)) << "a command with nothing open";
    DWORD start = ::GetTickCount();
    EXPECT_EQ(0, m_edition.Open(&m_log)) << "the first open walks the HID devices and finds none";
    DWORD firstMs = ::GetTickCount() - start;
    // The program asks once a second for as long as nothing is there: with
    // nothing plugged in since, the answer must not walk the devices again.
    start = ::GetTickCount();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(0, m_edition.Open(&m_log));
    DWORD hundredMs = ::GetTickCount() - start;
    printf("first open %lu ms, 100 more %lu ms\n", firstMs, hundredMs);
    EXPECT_LT(hundredMs, 200u) << "a refused open walked the devices again";
    EXPECT_EQ(1, m_edition.Close());
    EXPECT_EQ(1, m_edition.Close()) << "close twice";
    EXPECT_EQ(0u, m_log.Count());
}

TEST_F(HidEditionTest, OpensSharedAndReportsOnAThreadOfItsOwn)
{
    PlugAndOpen("keypad");
    // A softphone driving the same device opens it as well.
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(VirtualPhoneFindCollection(0x0B, path, MAX_PATH));
    HANDLE hOther = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, hOther) << "another program could not open the device: " << ::GetLastError();
    if (hOther != INVALID_HANDLE_VALUE)
        ::CloseHandle(hOther);
    const Report idle = KeypadReport(0);
    Play({{KeypadKey(5), {{QV_EVENT_KEY, QV_KEY_0 + 5}}}, {idle, {}}});
    ASSERT_TRUE(Send(KeypadKey(7)));
    m_log.WaitFor(1);
    EXPECT_TRUE(m_log.CameOnOneOtherThread(::GetCurrentThreadId()));
    EXPECT_EQ(1, m_edition.Close());
    EXPECT_EQ(1, m_edition.Close()) << "close twice";
}

TEST_F(HidEditionTest, EveryKeyOfTheKeyPadArray)
{
    PlugAndOpen("keypad");
    const Report KEYPAD_IDLE = KeypadReport(0);
    std::vector<Step> steps;
    for (int digit = 0; digit <= 9; ++digit) {
        steps.push_back({KeypadKey(digit), {{QV_EVENT_KEY, QV_KEY_0 + digit}}});
        steps.push_back({KEYPAD_IDLE, {}});
    }
    // Star and Pound, the last two of the array.
    steps.push_back({KeypadKey(10), {{QV_EVENT_KEY, QV_KEY_STAR}}});
    steps.push_back({KEYPAD_IDLE, {}});
    steps.push_back({KeypadKey(11), {{QV_EVENT_KEY, QV_KEY_HASH}}});
    // A key held over two reports is one press.
    steps.push_back({KeypadKey(11), {}});
    steps.push_back({KEYPAD_IDLE, {}});
    steps.push_back({KeypadKey(3), {{QV_EVENT_KEY, QV_KEY_0 + 3}}});
    Play(steps);
}

TEST_F(HidEditionTest, AbsoluteHookSwitchInAHeadsetWithReportIds)
{
    PlugAndOpen("headset-ids");
    const Report hook = {0x02, 0x02, 0x00}, flash = {0x02, 0x04, 0x00}, mute = {0x02, 0x01, 0x00};
    const Report hookAndFlash = {0x02, 0x06, 0x00};
    Play({{flash, {}}, {HEADSET_IDLE, {}}, {mute, {}}, {HEADSET_IDLE, {}},
          {hook, {OFF_HOOK}}, {hookAndFlash, {}}, {hook, {}}, {HEADSET_IDLE, {ON_HOOK}}});
    // Lifting the hook while the phone rings answers, once.
    ASSERT_EQ(1, m_edition.Command(0x1004));
    Play({{hook, {OFF_HOOK, ENTER}}, {HEADSET_IDLE, {ON_HOOK}}, {hook, {OFF_HOOK}}, {HEADSET_IDLE, {ON_HOOK}}});
}

// The call the demo plays: a number on the key pad, then the handset lifted
// while it rings, in the report that also carries the key pad's array.
TEST_F(HidEditionTest, KeyPadAndAbsoluteHookSwitchInOneReport)
{
    PlugAndOpen("desk-phone");
    const Report idle = KeypadReport(0), lifted = KeypadReport(0, TRUE);
    ASSERT_FALSE(idle.empty());
    ASSERT_NE(idle, lifted) << "hid.dll found no hook switch to set";
    Play({{KeypadKey(5), {{QV_EVENT_KEY, QV_KEY_0 + 5}}}, {idle, {}}, {KeypadKey(0), {{QV_EVENT_KEY, QV_KEY_0}}},
          {idle, {}}, {lifted, {OFF_HOOK}}, {KeypadKey(7, TRUE), {{QV_EVENT_KEY, QV_KEY_0 + 7}}},
          {lifted, {}}, {idle, {ON_HOOK}}});
    ASSERT_EQ(1, m_edition.Command(0x1004));
    Play({{lifted, {OFF_HOOK, ENTER}}, {idle, {ON_HOOK}}});
}

TEST_F(HidEditionTest, ToggleHookSwitchAndRedial)
{
    PlugAndOpen("toggle-hook");
    const Report hook = {0x0B, 0x01}, mute = {0x0B, 0x02}, redial = {0x0B, 0x04}, flash = {0x0B, 0x08};
    const Report drop = {0x0B, 0x10}, button = {0x0B, 0x20};
    const QvEvent keyset = {QV_EVENT_KEYSET, QV_KEYSET_FIRST}, f5 = {QV_EVENT_EXTENDED_KEY, QV_EXTENDED_F5};
    // Each report with the hook switch set is one flip of the hook.
    Play({{hook, {OFF_HOOK}}, {TOGGLE_IDLE, {}}, {mute, {}}, {TOGGLE_IDLE, {}}, {redial, {keyset, f5}},
          {TOGGLE_IDLE, {}}, {flash, {}}, {drop, {}}, {button, {}}, {TOGGLE_IDLE, {}}, {hook, {ON_HOOK}},
          {TOGGLE_IDLE, {}}, {hook, {OFF_HOOK}}, {hook, {ON_HOOK}}});
    ASSERT_EQ(1, m_edition.Command(0x1004));
    Play({{hook, {OFF_HOOK, ENTER}}, {TOGGLE_IDLE, {}}, {hook, {ON_HOOK}}});
}

template <size_t N>
void CheckLamps(CHidEdition& edition, const Lamp (&lamps)[N], const std::set<std::string>& ringing)
{
    struct Expected {
        DWORD code;
        std::set<std::string> lit;
    };
    const Expected states[] = {
        {0x1004, ringing},
        {0x1005, {"Off-Hook"}},
        {0x1003, {"Hold", "Off-Hook"}},
        {0x1006, {"Off-Hook"}}, // busy: still off-hook; none of these has a Busy lamp
        {0x1001, {}},
    };
    std::set<std::string> lit;
    for (const Expected& state : states) {
        EXPECT_EQ(1, edition.Command(state.code)) << std::hex << state.code;
        lit = ApplyOutputs(lit, lamps, VirtualPhoneTakeOutputList());
        EXPECT_EQ(state.lit, lit) << std::hex << state.code;
    }
}

TEST_F(HidEditionTest, LampsForEachPhoneState)
{
    {
        SCOPED_TRACE("headset-ids: a lamp a report");
        PlugAndOpen("headset-ids");
        CheckLamps(m_edition, HEADSET_LAMPS, {"Ring"});
        m_edition.Close();
    }
    {
        SCOPED_TRACE("keypad: lamps and the ringer in one report");
        PlugAndOpen("keypad");
        CheckLamps(m_edition, KEYPAD_LAMPS, {"Ring", "Ringer"});
        // Closing puts out what the library lit, and only then.
        ASSERT_EQ(1, m_edition.Command(0x1004));
        VirtualPhoneTakeOutputList();
        m_edition.Close();
        EXPECT_EQ(std::set<std::string>{}, ApplyOutputs({"Ring", "Ringer"}, KEYPAD_LAMPS, VirtualPhoneTakeOutputList()));
    }
    {
        SCOPED_TRACE("toggle-hook");
        PlugAndOpen("toggle-hook");
        CheckLamps(m_edition, TOGGLE_LAMPS, {"Ring"});
        m_edition.Close();
        EXPECT_TRUE(VirtualPhoneTakeOutputList().empty()) << "a close after idle wrote again";
    }
}

TEST_F(HidEditionTest, UnplugMidReadIsReportedOnceAndTheDeviceIsFoundAgain)
{
    PlugAndOpen("headset-ids");
    ASSERT_TRUE(VirtualPhoneUnplug());
    EXPECT_EQ((Events{LOST}), m_log.WaitFor(1, 10000, 1000)) << "the loss, once";
    m_log.Clear();
    // As the program does: close, then open each second until it is back.
    EXPECT_EQ(1, m_edition.Close());
    EXPECT_EQ(0, m_edition.Open(&m_log));
    EXPECT_EQ(0, m_edition.Open(&m_log));
    ASSERT_TRUE(VirtualPhonePlug(FindVirtualPhoneModel("headset-ids")));
    ASSERT_NE(0, m_edition.OpenWithin(&m_log, 10000)) << "the device plugged in again was not found";
    Play({{{0x02, 0x02, 0x00}, {OFF_HOOK}}});
    // A lost device not yet closed by the program: open starts afresh.
    ASSERT_TRUE(VirtualPhoneUnplug());
    EXPECT_EQ((Events{LOST}), m_log.WaitFor(1, 10000, 500));
    m_log.Clear();
    ASSERT_TRUE(VirtualPhonePlug(FindVirtualPhoneModel("headset-ids")));
    ASSERT_NE(0, m_edition.OpenWithin(&m_log, 10000));
    EXPECT_EQ(1, m_edition.Command(0x1005));
}

TEST_F(HidEditionTest, ADeviceThatStopsAnsweringCostsOneBoundedWait)
{
    PlugAndOpen("keypad");
    ASSERT_TRUE(VirtualPhoneSetAnswering(FALSE));
    DWORD start = ::GetTickCount();
    EXPECT_EQ(0, m_edition.Command(0x1004)) << "a write the device never took counted as done";
    DWORD firstMs = ::GetTickCount() - start;
    start = ::GetTickCount();
    EXPECT_EQ(0, m_edition.Command(0x1005));
    DWORD secondMs = ::GetTickCount() - start;
    start = ::GetTickCount();
    EXPECT_EQ(1, m_edition.Close());
    DWORD closeMs = ::GetTickCount() - start;
    printf("first command %lu ms, second %lu ms, close %lu ms\n", firstMs, secondMs, closeMs);
    EXPECT_LT(firstMs, 2000u);
    EXPECT_LT(secondMs, 100u) << "waited again on a device that had stopped answering";
    EXPECT_LT(closeMs, 3000u);
    ASSERT_TRUE(VirtualPhoneSetAnswering(TRUE));
    ASSERT_NE(0, m_edition.OpenWithin(&m_log, 10000));
    EXPECT_EQ(1, m_edition.Command(0x1004)) << "the device answering again";
}

TEST_F(HidEditionTest, NoCallbackAfterCloseReturns)
{
    PlugAndOpen("toggle-hook");
    struct Sender {
        static DWORD WINAPI Run(void* pStop)
        {
            const Report redial = {0x0B, 0x04};
            while (*static_cast<volatile LONG*>(pStop) == 0) {
                Send(redial);
                Send(TOGGLE_IDLE);
            }
            return 0;
        }
    };
    volatile LONG stop = 0;
    HANDLE hSender = ::CreateThread(nullptr, 0, Sender::Run, const_cast<LONG*>(&stop), 0, nullptr);
    ASSERT_NE(nullptr, hSender);
    m_log.WaitFor(10, 10000, 0);
    EXPECT_EQ(1, m_edition.Close());
    size_t atClose = m_log.Count();
    ::Sleep(500);
    ::InterlockedExchange(&stop, 1);
    ::WaitForSingleObject(hSender, INFINITE);
    ::CloseHandle(hSender);
    EXPECT_GE(atClose, 10u);
    EXPECT_EQ(atClose, m_log.Count()) << "events came after close returned";
}

// What the process holds: handles, threads, private bytes. Wine answers
// GetProcessHandleCount and PrivateUsage with 0, so there the handles are
// counted in the system's handle table and the bytes are the heaps' blocks in use.
struct Footprint {
    DWORD handles;
    DWORD threads;
    SIZE_T privateBytes;
};

DWORD CountHandlesInSystemTable()
{
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID pObject;
        ULONG access;
    };
    typedef LONG(WINAPI * Query)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer(1 << 16);
    LONG status;
    for (;;) {
        ULONG needed = 0;
        status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status != static_cast<LONG>(0xC0000004)) // STATUS_INFO_LENGTH_MISMATCH
            break;
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0)
        return 0;
    ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const Entry* pEntries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    DWORD own = 0;
    for (ULONG i = 0; i < count; ++i)
        own += pEntries[i].ownerPid == ::GetCurrentProcessId() ? 1 : 0;
    return own;
}

SIZE_T HeapBytesInUse()
{
    HANDLE heaps[64];
    DWORD n = ::GetProcessHeaps(64, heaps);
    SIZE_T total = 0;
    for (DWORD i = 0; i < n && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry = {};
        ::HeapLock(heaps[i]);
        while (::HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        }
        ::HeapUnlock(heaps[i]);
    }
    return total;
}

Footprint Measure()
{
    Footprint f = {};
    if (!::GetProcessHandleCount(::GetCurrentProcess(), &f.handles) || f.handles == 0)
        f.handles = CountHandlesInSystemTable();
    HANDLE hSnap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL b = ::Thread32First(hSnap, &entry); b; b = ::Thread32Next(hSnap, &entry))
        f.threads += entry.th32OwnerProcessID == ::GetCurrentProcessId() ? 1 : 0;
    ::CloseHandle(hSnap);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof(counters));
    f.privateBytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : HeapBytesInUse();
    return f;
}

TEST_F(HidEditionTest, PlugCyclesLeaveNoHandlesThreadsOrMemoryBehind)
{
    // 200 by default; HID_PLUG_CYCLES sets another number (each cycle is a
    // real removal and arrival, a few seconds under Wine).
    char text[16] = {};
    int cycles = ::GetEnvironmentVariableA("HID_PLUG_CYCLES", text, sizeof(text)) ? atoi(text) : 200;
    const VirtualPhoneModel* pModel = FindVirtualPhoneModel("headset-ids");
    // The bed's own cost, without the library: plugging from this process
    // leaves about a handle of Wine's device setup behind each time.
    const int controlCycles = 10;
    DWORD controlStart = Measure().handles;
    for (int i = 0; i < controlCycles; ++i) {
        ASSERT_TRUE(VirtualPhonePlug(pModel));
        ASSERT_TRUE(VirtualPhoneUnplug());
    }
    double bedPerCycle = static_cast<double>(Measure().handles - controlStart) / controlCycles;
    const int warmUp = 3;
    Footprint before = {};
    DWORD start = ::GetTickCount();
    for (int i = 0; i < warmUp + cycles; ++i) {
        if (i == warmUp)
            before = Measure();
        ASSERT_TRUE(VirtualPhonePlug(pModel)) << "cycle " << i;
        ASSERT_NE(0, m_edition.OpenWithin(&m_log, 10000)) << "cycle " << i;
        ASSERT_EQ(1, m_edition.Command(i % 2 ? 0x1005 : 0x1001)) << "cycle " << i;
        ASSERT_TRUE(Send({0x02, 0x02, 0x00}));
        ASSERT_TRUE(Send(HEADSET_IDLE));
        ASSERT_EQ((Events{OFF_HOOK, ON_HOOK}), m_log.WaitFor(2, 10000, 0)) << "cycle " << i;
        ASSERT_TRUE(VirtualPhoneUnplug());
        ASSERT_EQ((Events{OFF_HOOK, ON_HOOK, LOST}), m_log.WaitFor(3, 10000, 0)) << "cycle " << i;
        m_log.Clear();
        m_edition.Close();
    }
    Footprint after = Measure();
    printf("%d plug cycles in %lu s: handles %lu -> %lu, threads %lu -> %lu, private bytes %lu -> %lu KB\n",
           cycles, (::GetTickCount() - start) / 1000, before.handles, after.handles, before.threads, after.threads,
           static_cast<unsigned long>(before.privateBytes / 1024), static_cast<unsigned long>(after.privateBytes / 1024));
    ASSERT_NE(0u, before.handles) << "no way to count this process's handles";
    ASSERT_NE(0u, before.privateBytes) << "no way to measure this process's memory";
    // Beyond the bed's own, a handle a cycle (a device, an event, a thread
    // left open) adds as many as there are cycles; the room left is for the
    // bed's cost varying a little.
    printf("the bed alone: %.1f handles a cycle\n", bedPerCycle);
    EXPECT_LE(after.handles, before.handles + static_cast<DWORD>(bedPerCycle * cycles) + cycles / 10 + 5);
    EXPECT_LE(after.threads, before.threads);
    // Room for the heap's own slack; a device's state left behind each cycle
    // (its parsed descriptor alone is a few KB) goes past it well before 200.
    EXPECT_LE(after.privateBytes, before.privateBytes + 256 * 1024);
}

} // namespace
