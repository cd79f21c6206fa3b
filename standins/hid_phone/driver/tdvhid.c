/* tdvhid.sys: a HID minidriver that plays a USB telephony device for the
   tests. Each root-enumerated device instance reads the model it plays (its
   report descriptor and attributes) from its "Device Parameters" key when it
   starts; the HID class driver does the rest, as for a real device. Input
   reports come in, and the output reports that went out are read back, over
   the control requests of ../virtual_phone_ioctl.h, sent on the collection's
   own handle. One device is played at a time: the control requests go to the
   device that started last. */

#include "hid_port.h"
#include "../virtual_phone_ioctl.h"

#define INPUT_QUEUE 32
#define OUTPUT_LOG 64

typedef struct INPUT_REPORT {
    ULONG cbReport;
    UCHAR aReport[VIRTUAL_PHONE_MAX_REPORT];
} INPUT_REPORT;

typedef struct PHONE {
    USHORT wVendorId, wProductId, wVersion;
    WCHAR szName[64];
    UCHAR aDescriptor[VIRTUAL_PHONE_MAX_DESCRIPTOR];
    ULONG cbDescriptor;
    BOOLEAN bReportIds;
    /* Everything below is guarded by g_lock. */
    BOOLEAN bRemoved;
    BOOLEAN bAnswering;
    LIST_ENTRY reads;   /* the class driver's IOCTL_HID_READ_REPORT, waiting for input */
    LIST_ENTRY stalled; /* requests held while the device does not answer */
    INPUT_REPORT aInputs[INPUT_QUEUE];
    ULONG iInput, nInputs;
    VIRTUAL_PHONE_OUTPUT aOutputs[OUTPUT_LOG];
    ULONG iOutput, nOutputs;
} PHONE;

static KSPIN_LOCK g_lock;
static PHONE* g_pCurrent;
static PDRIVER_DISPATCH g_pfnClassDeviceControl;

static PHONE* PhoneOf(DEVICE_OBJECT* pDevice)
{
    return ((HID_DEVICE_EXTENSION*)pDevice->DeviceExtension)->MiniDeviceExtension;
}

static NTSTATUS Complete(IRP* pIrp, NTSTATUS status, ULONG_PTR information)
{
    pIrp->IoStatus.Status = status;
    pIrp->IoStatus.Information = information;
    IoCompleteRequest(pIrp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS CompleteWithCopy(IRP* pIrp, const void* pData, ULONG cbData)
{
    IO_STACK_LOCATION* pStack = IoGetCurrentIrpStackLocation(pIrp);
    if (pIrp->UserBuffer == NULL || pStack->Parameters.DeviceIoControl.OutputBufferLength < cbData)
        return Complete(pIrp, STATUS_BUFFER_TOO_SMALL, 0);
    RtlCopyMemory(pIrp->UserBuffer, pData, cbData);
    return Complete(pIrp, STATUS_SUCCESS, cbData);
}

static void CompleteAll(LIST_ENTRY* pList, NTSTATUS status)
{
    while (!IsListEmpty(pList)) {
        IRP* pIrp = CONTAINING_RECORD(RemoveHeadList(pList), IRP, Tail.Overlay.ListEntry);
        Complete(pIrp, status, 0);
    }
}

/* The list is emptied under the lock and its requests completed outside it:
   completion may call back into the class driver. */
static void TakeList(LIST_ENTRY* pFrom, LIST_ENTRY* pTo)
{
    InitializeListHead(pTo);
    while (!IsListEmpty(pFrom))
        InsertTailList(pTo, RemoveHeadList(pFrom));
}

/* Whether the descriptor declares report ids: the class driver then expects
   them in front of every report, and otherwise not at all. Only the items'
   sizes are read, to step over them. */
static BOOLEAN HasReportIds(const UCHAR* pDescriptor, ULONG cb)
{
    ULONG i = 0;
    while (i < cb) {
        UCHAR prefix = pDescriptor[i];
        ULONG size;
        if (prefix == 0xFE) { /* a long item: its size is in the next byte */
            if (i + 1 >= cb)
                break;
            i += 3 + pDescriptor[i + 1];
            continue;
        }
        if ((prefix & 0xFC) == 0x84) /* Report ID, a global item */
            return TRUE;
        size = prefix & 3;
        i += 1 + (size == 3 ? 4 : size);
    }
    return FALSE;
}

static NTSTATUS ReadValue(HANDLE hKey, const WCHAR* pszName, void* pData, ULONG cbMax, ULONG* pcb)
{
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + VIRTUAL_PHONE_MAX_DESCRIPTOR];
    KEY_VALUE_PARTIAL_INFORMATION* pInfo = (KEY_VALUE_PARTIAL_INFORMATION*)buffer;
    UNICODE_STRING name;
    ULONG cbResult = 0;
    NTSTATUS status;

    RtlInitUnicodeString(&name, pszName);
    status = ZwQueryValueKey(hKey, &name, KeyValuePartialInformation, pInfo, sizeof(buffer), &cbResult);
    if (!NT_SUCCESS(status))
        return status;
    if (pInfo->DataLength > cbMax)
        return STATUS_BUFFER_OVERFLOW;
    RtlCopyMemory(pData, pInfo->Data, pInfo->DataLength);
    *pcb = pInfo->DataLength;
    return STATUS_SUCCESS;
}

static USHORT ReadWord(HANDLE hKey, const WCHAR* pszName)
{
    ULONG value = 0, cb = 0;
    return NT_SUCCESS(ReadValue(hKey, pszName, &value, sizeof(value), &cb)) ? (USHORT)value : 0;
}

/* The installer wrote the model under the device's own key before it asked
   for the driver, so it is there at the first start. */
static NTSTATUS LoadModel(PHONE* pPhone, DEVICE_OBJECT* pPdo)
{
    HANDLE hKey;
    ULONG cb = 0;
    NTSTATUS status = IoOpenDeviceRegistryKey(pPdo, PLUGPLAY_REGKEY_DEVICE, KEY_READ, &hKey);
    if (!NT_SUCCESS(status))
        return status;
    status = ReadValue(hKey, VIRTUAL_PHONE_VALUE_DESCRIPTOR, pPhone->aDescriptor, sizeof(pPhone->aDescriptor),
                       &pPhone->cbDescriptor);
    if (NT_SUCCESS(status) && pPhone->cbDescriptor == 0)
        status = STATUS_INVALID_PARAMETER;
    pPhone->wVendorId = ReadWord(hKey, VIRTUAL_PHONE_VALUE_VENDOR);
    pPhone->wProductId = ReadWord(hKey, VIRTUAL_PHONE_VALUE_PRODUCT);
    pPhone->wVersion = ReadWord(hKey, VIRTUAL_PHONE_VALUE_VERSION);
    /* Room for the terminator is kept: the value need not end in one. */
    if (!NT_SUCCESS(ReadValue(hKey, VIRTUAL_PHONE_VALUE_NAME, pPhone->szName, sizeof(pPhone->szName) - sizeof(WCHAR),
                              &cb)))
        cb = 0;
    pPhone->szName[cb / sizeof(WCHAR)] = 0;
    ZwClose(hKey);
    pPhone->bReportIds = HasReportIds(pPhone->aDescriptor, pPhone->cbDescriptor);
    return status;
}

static void Unplug(PHONE* pPhone)
{
    LIST_ENTRY failed, stalled;
    KIRQL irql;

    KeAcquireSpinLock(&g_lock, &irql);
    pPhone->bRemoved = TRUE;
    if (g_pCurrent == pPhone)
        g_pCurrent = NULL;
    TakeList(&pPhone->reads, &failed);
    TakeList(&pPhone->stalled, &stalled);
    KeReleaseSpinLock(&g_lock, irql);
    /* The class driver's read thread waits for its read to end before it
       lets the device go: a read left pending here would hang the unplug. */
    CompleteAll(&failed, STATUS_DELETE_PENDING);
    CompleteAll(&stalled, STATUS_DELETE_PENDING);
}

static NTSTATUS WINAPI OnPnp(DEVICE_OBJECT* pDevice, IRP* pIrp)
{
    HID_DEVICE_EXTENSION* pExt = pDevice->DeviceExtension;
    PHONE* pPhone = pExt->MiniDeviceExtension;
    IO_STACK_LOCATION* pStack = IoGetCurrentIrpStackLocation(pIrp);
    KIRQL irql;
    NTSTATUS status;

    switch (pStack->MinorFunction) {
    case IRP_MN_START_DEVICE:
        status = LoadModel(pPhone, pExt->PhysicalDeviceObject);
        if (!NT_SUCCESS(status))
            return Complete(pIrp, status, 0);
        KeAcquireSpinLock(&g_lock, &irql);
        pPhone->bRemoved = FALSE;
        g_pCurrent = pPhone;
        KeReleaseSpinLock(&g_lock, irql);
        pIrp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_SURPRISE_REMOVAL:
    case IRP_MN_REMOVE_DEVICE:
        Unplug(pPhone);
        pIrp->IoStatus.Status = STATUS_SUCCESS;
        break;
    case IRP_MN_STOP_DEVICE:
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
        pIrp->IoStatus.Status = STATUS_SUCCESS;
        break;
    default:
        break;
    }
    IoSkipCurrentIrpStackLocation(pIrp);
    return IoCallDriver(pExt->NextDeviceObject, pIrp);
}

static void FinishRead(IRP* pIrp, const INPUT_REPORT* pReport)
{
    IO_STACK_LOCATION* pStack = IoGetCurrentIrpStackLocation(pIrp);
    ULONG cb = pReport->cbReport;
    if (cb > pStack->Parameters.DeviceIoControl.OutputBufferLength) {
        Complete(pIrp, STATUS_BUFFER_TOO_SMALL, 0);
        return;
    }
    RtlCopyMemory(pIrp->UserBuffer, pReport->aReport, cb);
    Complete(pIrp, STATUS_SUCCESS, cb);
}

static NTSTATUS OnReadReport(PHONE* pPhone, IRP* pIrp)
{
    INPUT_REPORT report;
    KIRQL irql;

    KeAcquireSpinLock(&g_lock, &irql);
    if (pPhone->bRemoved) {
        KeReleaseSpinLock(&g_lock, irql);
        return Complete(pIrp, STATUS_DELETE_PENDING, 0);
    }
    if (pPhone->nInputs == 0) {
        IoMarkIrpPending(pIrp);
        InsertTailList(&pPhone->reads, &pIrp->Tail.Overlay.ListEntry);
        KeReleaseSpinLock(&g_lock, irql);
        return STATUS_PENDING;
    }
    report = pPhone->aInputs[pPhone->iInput];
    pPhone->iInput = (pPhone->iInput + 1) % INPUT_QUEUE;
    pPhone->nInputs--;
    KeReleaseSpinLock(&g_lock, irql);
    FinishRead(pIrp, &report);
    return STATUS_SUCCESS;
}

/* Records an output report, its report id first; called under g_lock, the
   request completed by the caller with the status and length left in it. The
   class driver hands the report with its id byte in front when the device
   numbers its reports, and without it when it does not (id 0). */
static void RecordOutputLocked(PHONE* pPhone, IRP* pIrp)
{
    const HID_XFER_PACKET* pPacket = pIrp->UserBuffer;
    VIRTUAL_PHONE_OUTPUT* pRecord;
    ULONG cbData;
    const UCHAR* pData;

    pIrp->IoStatus.Information = 0;
    if (pPacket == NULL || pPacket->reportBuffer == NULL) {
        pIrp->IoStatus.Status = STATUS_INVALID_PARAMETER;
        return;
    }
    pData = pPacket->reportBuffer;
    cbData = pPacket->reportBufferLen;
    if (pPacket->reportId != 0 && cbData > 0 && pData[0] == pPacket->reportId) {
        pData++;
        cbData--;
    }
    if (cbData > VIRTUAL_PHONE_MAX_REPORT - 1) {
        pIrp->IoStatus.Status = STATUS_INVALID_BUFFER_SIZE;
        return;
    }
    /* A full log forgets its oldest report: the newest tells the state. */
    if (pPhone->nOutputs == OUTPUT_LOG) {
        pPhone->iOutput = (pPhone->iOutput + 1) % OUTPUT_LOG;
        pPhone->nOutputs--;
    }
    pRecord = &pPhone->aOutputs[(pPhone->iOutput + pPhone->nOutputs) % OUTPUT_LOG];
    pPhone->nOutputs++;
    pRecord->aReport[0] = pPacket->reportId;
    RtlCopyMemory(pRecord->aReport + 1, pData, cbData);
    pRecord->cbReport = cbData + 1;
    pIrp->IoStatus.Status = STATUS_SUCCESS;
    pIrp->IoStatus.Information = pPacket->reportBufferLen;
}

/* Under g_lock: the device's answer to a request, left in the request for
   the caller to complete once the lock is released. */
static void AnswerLocked(PHONE* pPhone, IRP* pIrp)
{
    ULONG code = IoGetCurrentIrpStackLocation(pIrp)->Parameters.DeviceIoControl.IoControlCode;
    if (code == IOCTL_HID_WRITE_REPORT || code == IOCTL_HID_SET_OUTPUT_REPORT) {
        RecordOutputLocked(pPhone, pIrp);
        return;
    }
    /* Features and polled input reports: these models have none we serve. */
    pIrp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    pIrp->IoStatus.Information = 0;
}

static void CompleteAnswered(LIST_ENTRY* pList)
{
    while (!IsListEmpty(pList)) {
        IRP* pIrp = CONTAINING_RECORD(RemoveHeadList(pList), IRP, Tail.Overlay.ListEntry);
        IoCompleteRequest(pIrp, IO_NO_INCREMENT);
    }
}

/* A request to the device itself, answered now or, while the device does not
   answer, held until it does again or goes. */
static NTSTATUS OnDeviceRequest(PHONE* pPhone, IRP* pIrp)
{
    NTSTATUS status;
    KIRQL irql;

    KeAcquireSpinLock(&g_lock, &irql);
    if (pPhone->bRemoved) {
        KeReleaseSpinLock(&g_lock, irql);
        return Complete(pIrp, STATUS_DELETE_PENDING, 0);
    }
    if (!pPhone->bAnswering) {
        IoMarkIrpPending(pIrp);
        InsertTailList(&pPhone->stalled, &pIrp->Tail.Overlay.ListEntry);
        KeReleaseSpinLock(&g_lock, irql);
        return STATUS_PENDING;
    }
    AnswerLocked(pPhone, pIrp);
    KeReleaseSpinLock(&g_lock, irql);
    status = pIrp->IoStatus.Status;
    IoCompleteRequest(pIrp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS CompleteString(IRP* pIrp, const WCHAR* psz)
{
    return CompleteWithCopy(pIrp, psz, (ULONG)((wcslen(psz) + 1) * sizeof(WCHAR)));
}

static NTSTATUS OnGetString(PHONE* pPhone, IRP* pIrp)
{
    IO_STACK_LOCATION* pStack = IoGetCurrentIrpStackLocation(pIrp);
    ULONG id = (ULONG)(ULONG_PTR)pStack->Parameters.DeviceIoControl.Type3InputBuffer & 0xFFFF;
    switch (id) {
    case HID_STRING_ID_IMANUFACTURER:
        return CompleteString(pIrp, L"Tandivorex test bed");
    case HID_STRING_ID_IPRODUCT:
        return CompleteString(pIrp, pPhone->szName);
    case HID_STRING_ID_ISERIALNUMBER:
        return CompleteString(pIrp, L"0001");
    default:
        return Complete(pIrp, STATUS_NOT_SUPPORTED, 0);
    }
}

/* The class driver's requests to the minidriver. */
static NTSTATUS WINAPI OnInternalDeviceControl(DEVICE_OBJECT* pDevice, IRP* pIrp)
{
    PHONE* pPhone = PhoneOf(pDevice);
    ULONG code = IoGetCurrentIrpStackLocation(pIrp)->Parameters.DeviceIoControl.IoControlCode;

    switch (code) {
    case IOCTL_HID_GET_DEVICE_DESCRIPTOR: {
        HID_DESCRIPTOR descriptor = {sizeof(HID_DESCRIPTOR), HID_HID_DESCRIPTOR_TYPE, 0x0111, 0, 1,
                                     {{HID_REPORT_DESCRIPTOR_TYPE, (USHORT)pPhone->cbDescriptor}}};
        return CompleteWithCopy(pIrp, &descriptor, sizeof(descriptor));
    }
    case IOCTL_HID_GET_REPORT_DESCRIPTOR:
        return CompleteWithCopy(pIrp, pPhone->aDescriptor, pPhone->cbDescriptor);
    case IOCTL_HID_GET_DEVICE_ATTRIBUTES: {
        HID_DEVICE_ATTRIBUTES attributes = {0};
        attributes.Size = sizeof(attributes);
        attributes.VendorID = pPhone->wVendorId;
        attributes.ProductID = pPhone->wProductId;
        attributes.VersionNumber = pPhone->wVersion;
        return CompleteWithCopy(pIrp, &attributes, sizeof(attributes));
    }
    case IOCTL_HID_GET_STRING:
        return OnGetString(pPhone, pIrp);
    case IOCTL_HID_READ_REPORT:
        return OnReadReport(pPhone, pIrp);
    case IOCTL_HID_WRITE_REPORT:
    case IOCTL_HID_SET_OUTPUT_REPORT:
    case IOCTL_HID_GET_INPUT_REPORT:
    case IOCTL_HID_GET_FEATURE:
    case IOCTL_HID_SET_FEATURE:
        return OnDeviceRequest(pPhone, pIrp);
    case IOCTL_HID_ACTIVATE_DEVICE:
    case IOCTL_HID_DEACTIVATE_DEVICE:
        return Complete(pIrp, STATUS_SUCCESS, 0);
    default:
        return Complete(pIrp, STATUS_NOT_SUPPORTED, 0);
    }
}

static NTSTATUS SendInput(PHONE* pPhone, const UCHAR* pReport, ULONG cb, IRP** ppRead, INPUT_REPORT* pReady)
{
    INPUT_REPORT* pSlot = pReady;
    if (cb == 0 || cb > VIRTUAL_PHONE_MAX_REPORT)
        return STATUS_INVALID_PARAMETER;
    /* A device without report ids sends its reports without the leading 0. */
    if (!pPhone->bReportIds) {
        if (pReport[0] != 0)
            return STATUS_INVALID_PARAMETER;
        pReport++;
        cb--;
    }
    if (IsListEmpty(&pPhone->reads)) {
        if (pPhone->nInputs == INPUT_QUEUE)
            return STATUS_DEVICE_BUSY;
        pSlot = &pPhone->aInputs[(pPhone->iInput + pPhone->nInputs) % INPUT_QUEUE];
        pPhone->nInputs++;
    } else {
        *ppRead = CONTAINING_RECORD(RemoveHeadList(&pPhone->reads), IRP, Tail.Overlay.ListEntry);
    }
    RtlCopyMemory(pSlot->aReport, pReport, cb);
    pSlot->cbReport = cb;
    return STATUS_SUCCESS;
}

static ULONG TakeOutputs(PHONE* pPhone, VIRTUAL_PHONE_OUTPUT* pOut, ULONG nMax)
{
    ULONG n = 0;
    while (n < nMax && pPhone->nOutputs > 0) {
        pOut[n++] = pPhone->aOutputs[pPhone->iOutput];
        pPhone->iOutput = (pPhone->iOutput + 1) % OUTPUT_LOG;
        pPhone->nOutputs--;
    }
    return n;
}

/* The test bed's own requests, on the handle of any collection of the device. */
static NTSTATUS OnControl(IRP* pIrp, ULONG code)
{
    IO_STACK_LOCATION* pStack = IoGetCurrentIrpStackLocation(pIrp);
    ULONG cbIn = pStack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG cbOut = pStack->Parameters.DeviceIoControl.OutputBufferLength;
    void* pBuffer = pIrp->AssociatedIrp.SystemBuffer;
    IRP* pRead = NULL;
    INPUT_REPORT ready;
    LIST_ENTRY released;
    ULONG_PTR information = 0;
    NTSTATUS status = STATUS_SUCCESS;
    PHONE* pPhone;
    KIRQL irql;

    InitializeListHead(&released);
    KeAcquireSpinLock(&g_lock, &irql);
    pPhone = g_pCurrent;
    if (pPhone == NULL) {
        status = STATUS_DEVICE_NOT_CONNECTED;
    } else if (code == IOCTL_VIRTUAL_PHONE_IDENTIFY) {
        if (cbOut < sizeof(ULONG)) {
            status = STATUS_BUFFER_TOO_SMALL;
        } else {
            *(ULONG*)pBuffer = VIRTUAL_PHONE_MAGIC;
            information = sizeof(ULONG);
        }
    } else if (code == IOCTL_VIRTUAL_PHONE_SEND_INPUT) {
        status = SendInput(pPhone, pBuffer, cbIn, &pRead, &ready);
    } else if (code == IOCTL_VIRTUAL_PHONE_TAKE_OUTPUTS) {
        information = TakeOutputs(pPhone, pBuffer, cbOut / sizeof(VIRTUAL_PHONE_OUTPUT)) *
                      sizeof(VIRTUAL_PHONE_OUTPUT);
    } else if (cbIn < sizeof(ULONG)) {
        status = STATUS_BUFFER_TOO_SMALL;
    } else {
        pPhone->bAnswering = *(ULONG*)pBuffer != 0;
        /* Answered while the device is sure to be there; completed below. */
        if (pPhone->bAnswering) {
            LIST_ENTRY* pEntry;
            TakeList(&pPhone->stalled, &released);
            for (pEntry = released.Flink; pEntry != &released; pEntry = pEntry->Flink)
                AnswerLocked(pPhone, CONTAINING_RECORD(pEntry, IRP, Tail.Overlay.ListEntry));
        }
    }
    KeReleaseSpinLock(&g_lock, irql);

    if (pRead != NULL)
        FinishRead(pRead, &ready);
    CompleteAnswered(&released);
    return Complete(pIrp, status, information);
}

/* In front of the class driver's handler: ours are taken, the rest passed on. */
static NTSTATUS WINAPI OnDeviceControl(DEVICE_OBJECT* pDevice, IRP* pIrp)
{
    ULONG code = IoGetCurrentIrpStackLocation(pIrp)->Parameters.DeviceIoControl.IoControlCode;
    switch (code) {
    case IOCTL_VIRTUAL_PHONE_IDENTIFY:
    case IOCTL_VIRTUAL_PHONE_SEND_INPUT:
    case IOCTL_VIRTUAL_PHONE_TAKE_OUTPUTS:
    case IOCTL_VIRTUAL_PHONE_SET_ANSWERING:
        return OnControl(pIrp, code);
    default:
        return g_pfnClassDeviceControl(pDevice, pIrp);
    }
}

static NTSTATUS WINAPI OnAddDevice(DRIVER_OBJECT* pDriver, DEVICE_OBJECT* pFdo)
{
    PHONE* pPhone = PhoneOf(pFdo);
    (void)pDriver;
    RtlZeroMemory(pPhone, sizeof(*pPhone));
    pPhone->bAnswering = TRUE;
    InitializeListHead(&pPhone->reads);
    InitializeListHead(&pPhone->stalled);
    pFdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void WINAPI OnUnload(DRIVER_OBJECT* pDriver)
{
    (void)pDriver;
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT* pDriver, UNICODE_STRING* pRegistryPath)
{
    HID_MINIDRIVER_REGISTRATION registration = {0};
    NTSTATUS status;

    KeInitializeSpinLock(&g_lock);
    pDriver->DriverExtension->AddDevice = OnAddDevice;
    pDriver->DriverUnload = OnUnload;
    pDriver->MajorFunction[IRP_MJ_PNP] = OnPnp;
    pDriver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = OnInternalDeviceControl;

    registration.Revision = HID_REVISION;
    registration.DriverObject = pDriver;
    registration.RegistryPath = pRegistryPath;
    registration.DeviceExtensionSize = sizeof(PHONE);
    registration.DevicesArePolled = FALSE;
    status = HidRegisterMinidriver(&registration);
    if (!NT_SUCCESS(status))
        return status;
    /* The class driver has put its own handlers in; ours goes in front of its
       device control, which serves the collections' handles. */
    g_pfnClassDeviceControl = pDriver->MajorFunction[IRP_MJ_DEVICE_CONTROL];
    pDriver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = OnDeviceControl;
    return STATUS_SUCCESS;
}
