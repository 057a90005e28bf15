/* Wickport: HID library for USB debug adapters.
 *
 * Every call returns 0 (or a non-negative value) on success and a negative
 * 0x8104xxxx code on failure. The numbers in the comments are the ordinals
 * under which WickportByOrdinal() hands the functions out.
 */
#ifndef WICKPORT_H
#define WICKPORT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define WICKPORT_API __declspec(dllexport)
#else
#define WICKPORT_API __attribute__((visibility("default")))
#endif

/* Result codes. */
#define WP_OK 0
#define WP_E_INVALID_HANDLE ((int32_t)0x81040001)
#define WP_E_READ ((int32_t)0x81040002)
#define WP_E_WRITE ((int32_t)0x81040003)
#define WP_E_IO ((int32_t)0x81040005)
#define WP_E_SYSTEM ((int32_t)0x81040006)
#define WP_E_READ_TIMEOUT ((int32_t)0x81040007)
#define WP_E_SN_ACCESS ((int32_t)0x81040008)
#define WP_E_RESET_RESPONSE ((int32_t)0x81040009)
#define WP_E_NOT_INITIALIZED ((int32_t)0x8104000C)
#define WP_E_NO_DEVICE_SELECTED ((int32_t)0x8104000D)
#define WP_E_NO_DATA ((int32_t)0x8104000E)
#define WP_E_DEVICE_NOT_FOUND ((int32_t)0x810400FF)

#define WP_REPORT_SIZE 64

WICKPORT_API int WpGetDeviceCount(int* count);                             /* 1 */
WICKPORT_API int WpResetBootMode(void);                                    /* 2 */
WICKPORT_API int WpSelectDevice(const char* serialNumber);                 /* 3 */
WICKPORT_API int WpSetTimeout(int milliseconds);                           /* 4 */
WICKPORT_API int WpGetSelectedSerial(const char** serialNumber);           /* 5 */
WICKPORT_API int WpGetSerialByIndex(int index, const char** serialNumber); /* 6 */
WICKPORT_API int WpOpen(void);                                             /* 7 */
WICKPORT_API int WpClose(void);                                            /* 8 */
WICKPORT_API int WpRead(uint8_t* buffer, int length, int* received);       /* 9 */
WICKPORT_API int WpWrite(const uint8_t* packet, int length);               /* 10 */
WICKPORT_API int WpResetAdapter(void);                                     /* 12 */
WICKPORT_API int WpGetVersion(const char** version);                       /* 13 */
WICKPORT_API int WpSetControlValue(int id, int value);                     /* 15 */
WICKPORT_API int WpGetControlValue(int id, uint8_t* value);                /* 16 */
WICKPORT_API int WpGetProductId(int* productId);                           /* 17 */
WICKPORT_API int WpGetProductIdByIndex(int index, int* productId);         /* 18 */
WICKPORT_API int WpSetFeatureReport(uint8_t* report, int length);          /* 20 */
WICKPORT_API int WpGetFeatureReport(uint8_t* report, int length);          /* 21 */

/* Our own extension, not one of the adapter maker's calls: WickportByOrdinal
 * does not hand it out. Tells which backend the selected adapter comes from,
 * so that callers never send a real adapter what only a virtual one may get. */
#define WP_BACKEND_HID 0     /* a real adapter, reached through hidapi */
#define WP_BACKEND_VIRTUAL 1 /* a virtual adapter listed by WICKPORT_VIRTUAL */
WICKPORT_API int WpGetBackend(int* backend);
/* Also ours: why the last WpOpen failed, as a line for the user; empty when it
 * succeeded or the backend gave no reason. The text stays valid until the next
 * WpOpen. */
WICKPORT_API int WpGetOpenError(const char** text);
/* Also ours: the host's fixed pause of that many milliseconds on the link
 * (before a version reply, after a mode switch). With a real adapter, or none
 * open, it sleeps; an open virtual adapter lets the time pass per its speed
 * option (on its own clock with speed=max), counted by WpGetWaitedMs. */
WICKPORT_API int WpPause(int milliseconds);
/* Also ours: the configured real-adapter ids (WICKPORT_USB_IDS,
 * ~/.config/wickport/usb-ids, /etc/wickport/usb-ids), by index; index 0 reads
 * them afresh. WP_E_DEVICE_NOT_FOUND past the last. */
WICKPORT_API int WpGetUsbId(int index, int* vendorId, int* productId);

/* Also ours: why the last failed call on the open adapter failed, in the HID
 * layer's words (hidapi's error text, a misframed or short report); empty
 * when it gave none. Valid until the next call. */
WICKPORT_API int WpGetLastError(const char** text);
/* Also ours, for the bring-up probe: how the open adapter's reports are
 * framed (from its HID report descriptor), one line; empty for a virtual
 * adapter. Valid until the next call. */
WICKPORT_API int WpGetReportLayout(const char** text);
/* Also ours: what is known of adapter `index` of the last enumeration. The
 * texts stay valid until the next enumeration. */
typedef struct WpDeviceInfo {
    int vendorId;
    int productId;
    const char* serialNumber;
    const char* product; /* USB product string, may be empty */
    const char* node;    /* device node (hidraw path), may be empty */
    int backend;         /* WP_BACKEND_HID or WP_BACKEND_VIRTUAL */
} WpDeviceInfo;
WICKPORT_API int WpGetDeviceInfo(int index, WpDeviceInfo* info);

/* The function of an ordinal, or NULL for ordinals the library does not have
 * (0, 11, 14, 19 and above 21). Cast it to the type of the named function. */
WICKPORT_API void* WickportByOrdinal(int ordinal);

#ifdef __cplusplus
}
#endif

#endif
