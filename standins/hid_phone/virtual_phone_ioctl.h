/* The control path into the virtual phone's driver: requests sent on any of
   its HID collections' handles, ahead of the HID class driver. Shared by the
   driver (C) and the library (C++). */
#ifndef TANDIVOREX_VIRTUAL_PHONE_IOCTL_H
#define TANDIVOREX_VIRTUAL_PHONE_IOCTL_H

/* Answers VIRTUAL_PHONE_MAGIC: how the library tells our device from a real
   one with the same vendor and product ids. */
#define IOCTL_VIRTUAL_PHONE_IDENTIFY CTL_CODE(FILE_DEVICE_UNKNOWN, 0x900, METHOD_BUFFERED, FILE_ANY_ACCESS)
/* In: one input report, its report id first (0 when the device has none). */
#define IOCTL_VIRTUAL_PHONE_SEND_INPUT CTL_CODE(FILE_DEVICE_UNKNOWN, 0x901, METHOD_BUFFERED, FILE_ANY_ACCESS)
/* Out: VIRTUAL_PHONE_OUTPUT records, oldest first; taken ones are forgotten. */
#define IOCTL_VIRTUAL_PHONE_TAKE_OUTPUTS CTL_CODE(FILE_DEVICE_UNKNOWN, 0x902, METHOD_BUFFERED, FILE_ANY_ACCESS)
/* In: a ULONG, nonzero to answer, 0 to leave requests to the device pending. */
#define IOCTL_VIRTUAL_PHONE_SET_ANSWERING CTL_CODE(FILE_DEVICE_UNKNOWN, 0x903, METHOD_BUFFERED, FILE_ANY_ACCESS)

#define VIRTUAL_PHONE_MAGIC 0x54445648UL
#define VIRTUAL_PHONE_MAX_REPORT 64
#define VIRTUAL_PHONE_MAX_DESCRIPTOR 1024

/* An output report as the device received it, its report id first. */
typedef struct VIRTUAL_PHONE_OUTPUT {
    ULONG cbReport;
    UCHAR aReport[VIRTUAL_PHONE_MAX_REPORT];
} VIRTUAL_PHONE_OUTPUT;

/* The hardware id of the root-enumerated device; the installer and the .inf
   say the same. Its registry values, under the device's "Device Parameters"
   key, describe the model the driver plays. */
#define VIRTUAL_PHONE_HARDWARE_ID L"root\\tdvhid"
#define VIRTUAL_PHONE_VALUE_DESCRIPTOR L"ReportDescriptor"
#define VIRTUAL_PHONE_VALUE_VENDOR L"VendorId"
#define VIRTUAL_PHONE_VALUE_PRODUCT L"ProductId"
#define VIRTUAL_PHONE_VALUE_VERSION L"VersionNumber"
#define VIRTUAL_PHONE_VALUE_NAME L"ProductName"

#endif
