// The virtual USB phone as the HID edition's tests rely on it, seen only
// through what Windows offers any program: SetupAPI finds the collection,
// hid.dll opens and parses it, and overlapped ReadFile/WriteFile go through
// the HID class driver to our minidriver and back.
#include "standins/hid_phone/descriptor_order.h"
#include "standins/hid_phone/virtual_phone.h"

#include <gtest/gtest.h>

extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}

#include <algorithm>
#include <memory>
#include <string.h>
#include <vector>

namespace {

const USHORT TELEPHONY_PAGE = 0x0B;
const USHORT LED_PAGE = 0x08;
const USAGE HOOK_SWITCH_USAGE = 0x20;
const USAGE PHONE_KEY5_USAGE = 0xB5;
const USAGE RING_LAMP_USAGE = 0x18;
const USAGE HOLD_LAMP_USAGE = 0x20;
const DWORD WAIT_MS = 10000;

typedef std::vector<BYTE> Report;

// A handle on the plugged device's telephony collection, with its parsed
// descriptor, as an application would hold it.
class Collection {
public:
    Collection(const Collection&) = delete;
    Collection& operator=(const Collection&) = delete;
    Collection() = default;
    ~Collection()
    {
        if (m_pData != nullptr)
            ::HidD_FreePreparsedData(m_pData);
        if (m_hDevice != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_hDevice);
    }

    BOOL Open()
    {
        wchar_t path[MAX_PATH];
        if (!VirtualPhoneFindCollection(TELEPHONY_PAGE, path, MAX_PATH))
            return FALSE;
        m_hDevice = ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        return m_hDevice != INVALID_HANDLE_VALUE && ::HidD_GetPreparsedData(m_hDevice, &m_pData) &&
               ::HidP_GetCaps(m_pData, &m_caps) == HIDP_STATUS_SUCCESS;
    }

    HANDLE Handle() const { return m_hDevice; }
    PHIDP_PREPARSED_DATA Data() const { return m_pData; }
    const HIDP_CAPS& Caps() const { return m_caps; }

    // A report of the given kind with the one usage set, built by hid.dll.
    Report Build(HIDP_REPORT_TYPE type, USAGE page, USAGE usage) const
    {
        Report report(type == HidP_Input ? m_caps.InputReportByteLength : m_caps.OutputReportByteLength);
        ULONG count = 1;
        HIDP_BUTTON_CAPS button = {};
        USHORT nCaps = 1;
        if (::HidP_GetSpecificButtonCaps(type, page, 0, usage, &button, &nCaps, m_pData) != HIDP_STATUS_SUCCESS ||
            ::HidP_InitializeReportForID(type, button.ReportID, m_pData, reinterpret_cast<PCHAR>(report.data()),
                                         static_cast<ULONG>(report.size())) != HIDP_STATUS_SUCCESS ||
            ::HidP_SetUsages(type, page, 0, &usage, &count, m_pData, reinterpret_cast<PCHAR>(report.data()),
                             static_cast<ULONG>(report.size())) != HIDP_STATUS_SUCCESS)
            report.clear();
        return report;
    }

    // The button caps of one input usage; ReportID 0xFF when it has none.
    HIDP_BUTTON_CAPS InputCaps(USAGE page, USAGE usage) const
    {
        HIDP_BUTTON_CAPS caps = {};
        USHORT nCaps = 1;
        if (::HidP_GetSpecificButtonCaps(HidP_Input, page, 0, usage, &caps, &nCaps, m_pData) != HIDP_STATUS_SUCCESS)
            caps.ReportID = 0xFF;
        return caps;
    }

    std::vector<USAGE> UsagesOn(const Report& report, USAGE page) const
    {
        std::vector<USAGE> usages(64);
        ULONG count = static_cast<ULONG>(usages.size());
        if (::HidP_GetUsages(HidP_Input, page, 0, usages.data(), &count, m_pData,
                             reinterpret_cast<PCHAR>(const_cast<BYTE*>(report.data())),
                             static_cast<ULONG>(report.size())) != HIDP_STATUS_SUCCESS)
            count = 0;
        usages.resize(count);
        return usages;
    }

private:
    HANDLE m_hDevice = INVALID_HANDLE_VALUE;
    PHIDP_PREPARSED_DATA m_pData = nullptr;
    HIDP_CAPS m_caps = {};
};

// One overlapped request on a collection, waited for with a limit.
class PendingIo {
public:
    PendingIo(const PendingIo&) = delete;
    PendingIo& operator=(const PendingIo&) = delete;
    explicit PendingIo(HANDLE hDevice) : m_hDevice(hDevice)
    {
        m_overlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~PendingIo()
    {
        // A request still out when the test gives up must not write into a
        // buffer that is gone.
        if (m_bStarted && !m_bDone) {
            ::CancelIo(m_hDevice);
            DWORD cb;
            ::GetOverlappedResult(m_hDevice, &m_overlapped, &cb, TRUE);
        }
        ::CloseHandle(m_overlapped.hEvent);
    }

    BOOL StartRead(DWORD cb)
    {
        m_buffer.assign(cb, 0);
        return Started(::ReadFile(m_hDevice, m_buffer.data(), cb, nullptr, &m_overlapped));
    }
    BOOL StartWrite(const Report& report)
    {
        m_buffer = report;
        return Started(::WriteFile(m_hDevice, m_buffer.data(), static_cast<DWORD>(m_buffer.size()), nullptr,
                                   &m_overlapped));
    }

    // Whether it ended within the time; then its result and error.
    BOOL Wait(DWORD ms)
    {
        if (::WaitForSingleObject(m_overlapped.hEvent, ms) != WAIT_OBJECT_0)
            return FALSE;
        DWORD cb = 0;
        m_bSucceeded = ::GetOverlappedResult(m_hDevice, &m_overlapped, &cb, FALSE) != FALSE;
        m_dwError = m_bSucceeded ? 0 : ::GetLastError();
        m_buffer.resize(m_bSucceeded ? cb : 0);
        m_bDone = TRUE;
        return TRUE;
    }

    BOOL Succeeded() const { return m_bSucceeded; }
    DWORD Error() const { return m_dwError; }
    const Report& Data() const { return m_buffer; }

private:
    BOOL Started(BOOL bResult)
    {
        m_bStarted = bResult || ::GetLastError() == ERROR_IO_PENDING;
        return m_bStarted;
    }

    HANDLE m_hDevice;
    OVERLAPPED m_overlapped = {};
    Report m_buffer;
    BOOL m_bStarted = FALSE;
    BOOL m_bDone = FALSE;
    BOOL m_bSucceeded = FALSE;
    DWORD m_dwError = 0;
};

// ReadFile hands back InputReportByteLength bytes, whatever the report's own
// length: what was sent, then zeros.
BOOL ReadBackAs(const Report& sent, const Report& read)
{
    if (read.size() < sent.size() || !std::equal(sent.begin(), sent.end(), read.begin()))
        return FALSE;
    return std::all_of(read.begin() + sent.size(), read.end(), [](BYTE b) { return b == 0; });
}

class VirtualPhoneTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(VirtualPhoneUnplug()); }

    void Plug(const char* pszModel)
    {
        m_pModel = FindVirtualPhoneModel(pszModel);
        ASSERT_NE(nullptr, m_pModel) << pszModel;
        ASSERT_TRUE(VirtualPhonePlug(m_pModel)) << pszModel;
        m_pCollection.reset(new Collection);
        ASSERT_TRUE(m_pCollection->Open()) << pszModel;
        EXPECT_TRUE(VirtualPhoneTakeOutputList().empty()) << "a new device has received nothing";
    }

    // Sends the report and reads it back through a read that was already
    // waiting, as the HID edition's reading thread would.
    Report SendAndRead(const Report& report)
    {
        PendingIo read(m_pCollection->Handle());
        if (!read.StartRead(m_pCollection->Caps().InputReportByteLength) ||
            !VirtualPhoneSendInput(report.data(), static_cast<DWORD>(report.size())) || !read.Wait(WAIT_MS) ||
            !read.Succeeded())
            return Report();
        return read.Data();
    }

    const VirtualPhoneModel* m_pModel = nullptr;
    std::unique_ptr<Collection> m_pCollection;
};

// Each model shows, through Wine's parser, what its descriptor is kept for.
TEST_F(VirtualPhoneTest, EachModelAppearsOnTheTelephonyPageWithItsTraits)
{
    int count = 0;
    const VirtualPhoneModel* const* ppModels = VirtualPhoneModels(&count);
    ASSERT_GE(count, 4);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(ppModels[i]->pszName);
        Plug(ppModels[i]->pszName);
        EXPECT_EQ(TELEPHONY_PAGE, m_pCollection->Caps().UsagePage);
        HIDD_ATTRIBUTES attributes = {};
        attributes.Size = sizeof(attributes);
        ASSERT_TRUE(::HidD_GetAttributes(m_pCollection->Handle(), &attributes));
        EXPECT_EQ(ppModels[i]->wVendorId, attributes.VendorID);
        EXPECT_EQ(ppModels[i]->wProductId, attributes.ProductID);
        EXPECT_EQ(ppModels[i]->wVersion, attributes.VersionNumber);
        wchar_t product[64] = {};
        ASSERT_TRUE(::HidD_GetProductString(m_pCollection->Handle(), product, sizeof(product)));
        wchar_t expected[64] = {};
        ::MultiByteToWideChar(CP_UTF8, 0, ppModels[i]->pszName, -1, expected, 64);
        EXPECT_STREQ(expected, product);

        HIDP_BUTTON_CAPS hook = m_pCollection->InputCaps(TELEPHONY_PAGE, HOOK_SWITCH_USAGE);
        EXPECT_NE(0xFF, hook.ReportID) << "no hook switch";
        EXPECT_NE(0, hook.ReportID) << "every model numbers its reports";
        // A toggle reports each press; the others report the hook's state.
        EXPECT_EQ(strcmp(ppModels[i]->pszName, "toggle-hook") != 0, hook.IsAbsolute != FALSE);
        BOOL bKeyPad = m_pCollection->InputCaps(TELEPHONY_PAGE, PHONE_KEY5_USAGE).ReportID != 0xFF;
        BOOL bKeyPadModel = strcmp(ppModels[i]->pszName, "keypad") == 0 || strcmp(ppModels[i]->pszName, "desk-phone") == 0;
        EXPECT_EQ(bKeyPadModel, bKeyPad);
        ASSERT_TRUE(VirtualPhoneUnplug());
    }
}

TEST_F(VirtualPhoneTest, InputReportsSentAreReadBackAndParsed)
{
    Plug("headset-ids");
    // Report 2: Phone Mute, Hook Switch, Flash, Button 1 from bit 0.
    const Report OFF_HOOK_REPORT = {0x02, 0x02, 0x00};
    EXPECT_TRUE(ReadBackAs(OFF_HOOK_REPORT, SendAndRead(OFF_HOOK_REPORT)));
    EXPECT_EQ(std::vector<USAGE>{HOOK_SWITCH_USAGE}, m_pCollection->UsagesOn(SendAndRead(OFF_HOOK_REPORT), TELEPHONY_PAGE));
    EXPECT_TRUE(m_pCollection->UsagesOn(SendAndRead({0x02, 0x00, 0x00}), TELEPHONY_PAGE).empty());
    ASSERT_TRUE(VirtualPhoneUnplug());

    // A key of the key pad, laid out by hid.dll itself: an array's place in
    // its report is the parser's to say.
    Plug("keypad");
    Report key5 = m_pCollection->Build(HidP_Input, TELEPHONY_PAGE, PHONE_KEY5_USAGE);
    ASSERT_FALSE(key5.empty());
    Report read = SendAndRead(key5);
    EXPECT_EQ(key5, read);
    std::vector<USAGE> usages = m_pCollection->UsagesOn(read, TELEPHONY_PAGE);
    EXPECT_NE(usages.end(), std::find(usages.begin(), usages.end(), PHONE_KEY5_USAGE));
}

TEST_F(VirtualPhoneTest, AReadWaitsForInputAndInputWaitsForARead)
{
    Plug("toggle-hook");
    PendingIo read(m_pCollection->Handle());
    ASSERT_TRUE(read.StartRead(m_pCollection->Caps().InputReportByteLength));
    EXPECT_FALSE(read.Wait(300)) << "a read completed with nothing sent";
    const Report PRESS_REPORT = {0x0B, 0x01};
    ASSERT_TRUE(VirtualPhoneSendInput(PRESS_REPORT.data(), static_cast<DWORD>(PRESS_REPORT.size())));
    ASSERT_TRUE(read.Wait(WAIT_MS));
    EXPECT_TRUE(ReadBackAs(PRESS_REPORT, read.Data()));

    // Sent with no read waiting: the next read gets them, in order.
    const Report RELEASE_REPORT = {0x0B, 0x00};
    ASSERT_TRUE(VirtualPhoneSendInput(PRESS_REPORT.data(), static_cast<DWORD>(PRESS_REPORT.size())));
    ASSERT_TRUE(VirtualPhoneSendInput(RELEASE_REPORT.data(), static_cast<DWORD>(RELEASE_REPORT.size())));
    PendingIo first(m_pCollection->Handle());
    ASSERT_TRUE(first.StartRead(m_pCollection->Caps().InputReportByteLength));
    ASSERT_TRUE(first.Wait(WAIT_MS));
    EXPECT_TRUE(ReadBackAs(PRESS_REPORT, first.Data()));
    PendingIo second(m_pCollection->Handle());
    ASSERT_TRUE(second.StartRead(m_pCollection->Caps().InputReportByteLength));
    ASSERT_TRUE(second.Wait(WAIT_MS));
    EXPECT_TRUE(ReadBackAs(RELEASE_REPORT, second.Data()));
}

TEST_F(VirtualPhoneTest, OutputReportsWrittenAndSetAreRecordedInOrder)
{
    Plug("keypad");
    // Report 2: Off-Hook, Mute, Ring, Hold, Microphone from bit 0, then the Ringer.
    Report ring = m_pCollection->Build(HidP_Output, LED_PAGE, RING_LAMP_USAGE);
    Report hold = m_pCollection->Build(HidP_Output, LED_PAGE, HOLD_LAMP_USAGE);
    PendingIo write(m_pCollection->Handle());
    ASSERT_TRUE(write.StartWrite(ring));
    ASSERT_TRUE(write.Wait(WAIT_MS));
    EXPECT_TRUE(write.Succeeded()) << write.Error();
    EXPECT_TRUE(::HidD_SetOutputReport(m_pCollection->Handle(), hold.data(), static_cast<ULONG>(hold.size())));
    EXPECT_EQ((std::vector<Report>{{0x02, 0x04, 0x00}, {0x02, 0x08, 0x00}}), VirtualPhoneTakeOutputList());
    EXPECT_TRUE(VirtualPhoneTakeOutputList().empty()) << "what was taken is forgotten";
    ASSERT_TRUE(VirtualPhoneUnplug());

    // Each lamp in a report of its own.
    Plug("headset-ids");
    ring = m_pCollection->Build(HidP_Output, LED_PAGE, RING_LAMP_USAGE);
    hold = m_pCollection->Build(HidP_Output, LED_PAGE, HOLD_LAMP_USAGE);
    EXPECT_TRUE(::HidD_SetOutputReport(m_pCollection->Handle(), ring.data(), static_cast<ULONG>(ring.size())));
    EXPECT_TRUE(::HidD_SetOutputReport(m_pCollection->Handle(), hold.data(), static_cast<ULONG>(hold.size())));
    EXPECT_EQ((std::vector<Report>{{0x18, 0x01}, {0x20, 0x01}}), VirtualPhoneTakeOutputList());
}

TEST_F(VirtualPhoneTest, UnplugFailsAPendingReadAndPluggingAgainWorks)
{
    Plug("headset-ids");
    PendingIo read(m_pCollection->Handle());
    ASSERT_TRUE(read.StartRead(m_pCollection->Caps().InputReportByteLength));
    ASSERT_TRUE(VirtualPhoneUnplug());
    ASSERT_TRUE(read.Wait(WAIT_MS)) << "the read was left hanging";
    EXPECT_FALSE(read.Succeeded());
    EXPECT_NE(0u, read.Error());
    wchar_t path[MAX_PATH];
    EXPECT_FALSE(VirtualPhoneFindCollection(TELEPHONY_PAGE, path, MAX_PATH));
    const Report OFF_HOOK_REPORT = {0x02, 0x02, 0x00};
    EXPECT_FALSE(VirtualPhoneSendInput(OFF_HOOK_REPORT.data(), static_cast<DWORD>(OFF_HOOK_REPORT.size())));
    BYTE reports[1][VIRTUAL_PHONE_MAX_REPORT];
    DWORD sizes[1];
    EXPECT_EQ(-1, VirtualPhoneTakeOutputs(reports, sizes, 1)) << "no device, nothing to take";

    Plug("headset-ids");
    EXPECT_TRUE(ReadBackAs(OFF_HOOK_REPORT, SendAndRead(OFF_HOOK_REPORT)));
}

// Many reports on one handle, as hid-phone keys sends them: in order while
// the device is there, refused on the old handle once it has gone.
TEST_F(VirtualPhoneTest, ReportsSentOnOneHandleArriveInOrderUntilUnplugged)
{
    Plug("toggle-hook");
    HANDLE hControl = VirtualPhoneOpenControl();
    ASSERT_NE(INVALID_HANDLE_VALUE, hControl);
    const Report PRESS_REPORT = {0x0B, 0x01};
    const Report RELEASE_REPORT = {0x0B, 0x00};
    EXPECT_TRUE(VirtualPhoneSendInputOn(hControl, PRESS_REPORT.data(), static_cast<DWORD>(PRESS_REPORT.size())));
    EXPECT_TRUE(VirtualPhoneSendInputOn(hControl, RELEASE_REPORT.data(), static_cast<DWORD>(RELEASE_REPORT.size())));
    for (const Report& sent : {PRESS_REPORT, RELEASE_REPORT}) {
        PendingIo read(m_pCollection->Handle());
        ASSERT_TRUE(read.StartRead(m_pCollection->Caps().InputReportByteLength));
        ASSERT_TRUE(read.Wait(WAIT_MS));
        EXPECT_TRUE(ReadBackAs(sent, read.Data()));
    }
    EXPECT_FALSE(VirtualPhoneSendInputOn(hControl, PRESS_REPORT.data(), 0));
    EXPECT_FALSE(VirtualPhoneSendInputOn(INVALID_HANDLE_VALUE, PRESS_REPORT.data(), 2));

    ASSERT_TRUE(VirtualPhoneUnplug());
    EXPECT_FALSE(VirtualPhoneSendInputOn(hControl, PRESS_REPORT.data(), static_cast<DWORD>(PRESS_REPORT.size())));
    ::CloseHandle(hControl);
    EXPECT_EQ(INVALID_HANDLE_VALUE, VirtualPhoneOpenControl()) << "nothing is plugged";
}

TEST_F(VirtualPhoneTest, ADeviceThatStopsAnsweringHoldsWritesUntilItAnswersOrGoes)
{
    Plug("keypad");
    Report ring = m_pCollection->Build(HidP_Output, LED_PAGE, RING_LAMP_USAGE);
    ASSERT_TRUE(VirtualPhoneSetAnswering(FALSE));
    PendingIo held(m_pCollection->Handle());
    ASSERT_TRUE(held.StartWrite(ring));
    EXPECT_FALSE(held.Wait(500)) << "a write to a silent device completed";
    EXPECT_TRUE(VirtualPhoneTakeOutputList().empty());
    ASSERT_TRUE(VirtualPhoneSetAnswering(TRUE));
    ASSERT_TRUE(held.Wait(WAIT_MS));
    EXPECT_TRUE(held.Succeeded()) << held.Error();
    EXPECT_EQ(std::vector<Report>{Report({0x02, 0x04, 0x00})}, VirtualPhoneTakeOutputList());

    ASSERT_TRUE(VirtualPhoneSetAnswering(FALSE));
    PendingIo lost(m_pCollection->Handle());
    ASSERT_TRUE(lost.StartWrite(ring));
    EXPECT_FALSE(lost.Wait(300));
    ASSERT_TRUE(VirtualPhoneUnplug());
    ASSERT_TRUE(lost.Wait(WAIT_MS)) << "a held write outlived the device";
    EXPECT_FALSE(lost.Succeeded());
}

TEST_F(VirtualPhoneTest, RefusesWhatItCannotCarry)
{
    Plug("toggle-hook");
    BYTE tooLong[VIRTUAL_PHONE_MAX_REPORT + 1] = {0x0B};
    EXPECT_FALSE(VirtualPhoneSendInput(tooLong, sizeof(tooLong)));
    EXPECT_FALSE(VirtualPhoneSendInput(tooLong, 0));
    EXPECT_FALSE(VirtualPhoneSendInput(nullptr, 3));
    EXPECT_EQ(nullptr, FindVirtualPhoneModel("no such phone"));
    EXPECT_EQ(nullptr, FindVirtualPhoneModel(nullptr));
    VirtualPhoneModel broken = *m_pModel;
    broken.cbDescriptor = 0;
    EXPECT_FALSE(VirtualPhonePlug(&broken));
    broken.cbDescriptor = m_pModel->cbDescriptor - 1; // its last End Collection cut off
    EXPECT_FALSE(VirtualPhonePlug(&broken));
}

// The telephony collection goes first, whole, and nothing is lost or added.
TEST(DescriptorOrderTest, PutsTheTelephonyCollectionFirstAndKeepsEveryByte)
{
    const VirtualPhoneModel* pModel = FindVirtualPhoneModel("keypad");
    ASSERT_NE(nullptr, pModel);
    BYTE reordered[1024];
    DWORD cb = PutCollectionFirst(pModel->pDescriptor, pModel->cbDescriptor, TELEPHONY_PAGE, reordered);
    ASSERT_EQ(pModel->cbDescriptor, cb);
    // Consumer (35 bytes), telephony, vendor become telephony, consumer, vendor.
    const BYTE* pOriginal = pModel->pDescriptor;
    static const BYTE s_abVendorStart[] = {0x06, 0x00, 0xff, 0x09, 0x01, 0xa1, 0x01};
    const BYTE* pVendor = std::search(pOriginal, pOriginal + cb, s_abVendorStart, s_abVendorStart + sizeof(s_abVendorStart));
    ASSERT_NE(pOriginal + cb, pVendor);
    Report expected(pOriginal + 35, pVendor);
    expected.insert(expected.end(), pOriginal, pOriginal + 35);
    expected.insert(expected.end(), pVendor, pOriginal + cb);
    EXPECT_EQ(expected, Report(reordered, reordered + cb));
    EXPECT_EQ(0x0b, reordered[1]);

    // Already first: unchanged. Not whole: refused.
    const VirtualPhoneModel* pToggle = FindVirtualPhoneModel("toggle-hook");
    ASSERT_EQ(pToggle->cbDescriptor, PutCollectionFirst(pToggle->pDescriptor, pToggle->cbDescriptor, TELEPHONY_PAGE,
                                                        reordered));
    EXPECT_EQ(0, memcmp(reordered, pToggle->pDescriptor, pToggle->cbDescriptor));
    EXPECT_EQ(0u, PutCollectionFirst(pToggle->pDescriptor, pToggle->cbDescriptor - 1, TELEPHONY_PAGE, reordered));
    static const BYTE s_abLongItemCut[] = {0x05, 0x0B, 0xFE, 0x10};
    EXPECT_EQ(0u, PutCollectionFirst(s_abLongItemCut, sizeof(s_abLongItemCut), TELEPHONY_PAGE, reordered));
}

} // namespace
