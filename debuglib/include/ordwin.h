/* Ordwin: debug library for 8051-family targets behind a USB or serial
 * debug adapter.
 *
 * Every export works on the one process-wide debug context; none takes a
 * handle. Results are signed 32-bit codes: 0 (or another non-negative value)
 * is success, a negative value is one of the ORDWIN_E_* codes below, whose
 * text GetErrorMsg() gives. Strings returned by the library stay owned by it.
 * The number in each comment is the export's ordinal.
 */
#ifndef ORDWIN_H
#define ORDWIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#if defined(ORDWIN_BUILDING)
/* The architecture's .def exports exactly its list, and nothing else. */
#define ORDWIN_API
#else
#define ORDWIN_API __declspec(dllimport)
#endif
#else
#define ORDWIN_API __attribute__((visibility("default")))
#endif

/* The two identity getters keep the stdcall decoration hosts bind by name. */
#if defined(_WIN32) && !defined(_WIN64)
#define ORDWIN_STDCALL __stdcall
#else
#define ORDWIN_STDCALL
#endif

/* Result codes. */
#define ORDWIN_OK 0
#define ORDWIN_E_FAIL ((int32_t)0x80004005)
#define ORDWIN_E_NOTIMPL ((int32_t)0x80004001)
#define ORDWIN_E_INVALIDARG ((int32_t)0x80070057)
#define ORDWIN_E_FLASH_WRITE ((int32_t)0x81000001)
#define ORDWIN_E_FLASH_LOCK ((int32_t)0x81000002)
#define ORDWIN_E_NOT_HALTED ((int32_t)0x81000003)
#define ORDWIN_E_INVALID_PATH ((int32_t)0x81000004)
#define ORDWIN_E_COM_OPEN ((int32_t)0x81000005)
#define ORDWIN_E_DOWNLOAD ((int32_t)0x81000006)
#define ORDWIN_E_RESET ((int32_t)0x81000007)
#define ORDWIN_E_ERASE ((int32_t)0x81000008)
#define ORDWIN_E_COM_CLOSE ((int32_t)0x81000009)
#define ORDWIN_E_USB_DLL ((int32_t)0x8100000A)
#define ORDWIN_E_USB_OPEN ((int32_t)0x8100000B)
#define ORDWIN_E_NO_XRAM ((int32_t)0x8100000C)
#define ORDWIN_E_CONNECTED ((int32_t)0x8100000D)
#define ORDWIN_E_UNKNOWN_DEVICE ((int32_t)0x8100000E)
#define ORDWIN_E_BAD_RESPONSE ((int32_t)0x8100000F)
#define ORDWIN_E_NO_RESPONSE ((int32_t)0x81000011)
#define ORDWIN_E_SHORT_RESPONSE ((int32_t)0x81000012)
#define ORDWIN_E_PORT_NOT_OPEN ((int32_t)0x81000014)
#define ORDWIN_E_WRITE_INCOMPLETE ((int32_t)0x81000016)
#define ORDWIN_E_STATUS_NOT_HALTED ((int32_t)0x81000019)
#define ORDWIN_E_STATUS_FLASH ((int32_t)0x8100001A)
#define ORDWIN_E_STATUS_NOT_RESPONDING ((int32_t)0x8100001C)
#define ORDWIN_E_STATUS_FAILED ((int32_t)0x8100001D)
#define ORDWIN_E_RECEIVE_BUFFER ((int32_t)0x81000021)
#define ORDWIN_E_PURGE ((int32_t)0x81000022)
#define ORDWIN_E_FIRMWARE_UPDATE ((int32_t)0x81000023)
#define ORDWIN_E_CRC ((int32_t)0x81000024)
#define ORDWIN_E_DEVICE_RESET ((int32_t)0x81000025)
#define ORDWIN_E_NOT_SUPPORTED ((int32_t)0x81000026)
#define ORDWIN_E_INCORRECT_RESPONSE ((int32_t)0x81000028)
#define ORDWIN_E_NO_ADAPTER_TYPE ((int32_t)0x81000029)
#define ORDWIN_E_NOT_IN_STORE ((int32_t)0x8100002D)
#define ORDWIN_E_STORE_MISSING ((int32_t)0x8100002E)
#define ORDWIN_E_STORE_ACCESS ((int32_t)0x8100002F)
#define ORDWIN_E_NOT_CONNECTED ((int32_t)0x8100801B)
#define ORDWIN_E_BP_RESERVED ((int32_t)0x81010001)
#define ORDWIN_E_BP_RANGE ((int32_t)0x81010002)
#define ORDWIN_E_RUN_STATE ((int32_t)0x81010003)
#define ORDWIN_E_PIN_MODE ((int32_t)0x81010004)
#define ORDWIN_E_GET_PIN_LATCH ((int32_t)0x81010005)
#define ORDWIN_E_SET_PIN_LATCH ((int32_t)0x81010006)
#define ORDWIN_E_DOWNLOAD_CANCELLED ((int32_t)0x81020001)
#define ORDWIN_E_READ_FAILED ((int32_t)0x81020002)
#define ORDWIN_E_NO_VALID_ADAPTER ((int32_t)0x81030001)
#define ORDWIN_E_TARGET_RESET ((int32_t)0x81030002)
#define ORDWIN_E_LINK_OPEN ((int32_t)0x81030003)
#define ORDWIN_E_HALT ((int32_t)0x81030004)
#define ORDWIN_E_BP_LIMIT ((int32_t)0x81030005)
#define ORDWIN_E_TARGET_CONFIG ((int32_t)0x81030006)
#define ORDWIN_E_BOOTLOADER ((int32_t)0x81030007)
#define ORDWIN_E_WP_TARGET_NOT_CONNECTED ((int32_t)0x8104800B)

/* Message-box styles and answers used with the host callbacks. */
#define ORDWIN_MB_OK 0x00
#define ORDWIN_MB_OK_ICON 0x30
#define ORDWIN_MB_OKCANCEL_ICON 0x31
#define ORDWIN_MB_YESNO_ICON 0x34
#define ORDWIN_ID_OK 1
#define ORDWIN_ID_CANCEL 2
#define ORDWIN_ID_YES 6
#define ORDWIN_ID_NO 7

/* How the library reaches the user. Every callback gets `user` back. Without
 * a registered host, messages go to stderr and every question is answered
 * Cancel or No. */
typedef struct OrdwinHostUi {
    void* user;
    /* Modal message box; style is one of ORDWIN_MB_*; returns ORDWIN_ID_*. */
    int (*messageBox)(void* user, const char* text, const char* caption, int style);
    /* Modeless progress dialog with a Cancel button; returns a dialog handle
     * (may be NULL when the host shows none). The host keeps its main window
     * disabled from here to progressDestroy. */
    void* (*progressCreate)(void* user, const char* caption, const char* status, int lower,
                            int upper);
    /* Moves the bar; percentText is the text beside it, or NULL when unchanged. */
    void (*progressSetPosition)(void* user, void* dialog, int position, const char* percentText);
    void (*progressSetStatus)(void* user, void* dialog, const char* status);
    /* Nonzero once Cancel was pressed since the last call (reading clears it). */
    int (*progressCancelled)(void* user, void* dialog);
    void (*progressDestroy)(void* user, void* dialog);
    /* Lets the host run its pending events during long waits; may be NULL. */
    void (*pumpEvents)(void* user);
} OrdwinHostUi;

/* Registers the host's callbacks (copied); NULL returns to the default. */
ORDWIN_API void OrdwinSetHostUi(const OrdwinHostUi* ui);

/* The export of an ordinal (1..64), NULL for any other number. Cast it to
 * the type of the named function. */
ORDWIN_API void* OrdwinExportByOrdinal(int ordinal);

/* The 64 exports. */
ORDWIN_API int Connect(int comPort, int disableDialogs, int protocol, int baudIndex); /* 1 */
ORDWIN_API int Download(char* fileName, int eraseAndReset, int disableDialogs, int scratchTarget,
                        int bank, int lock, int preserve);                             /* 2 */
ORDWIN_API int Disconnect(int comPort);                                                /* 3 */
ORDWIN_API int ORDWIN_STDCALL GetDerivativeID(uint8_t* derivativeId);                  /* 4 */
ORDWIN_API int SetTargetGo(void);                                                      /* 5 */
ORDWIN_API int GetXRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 6 */
ORDWIN_API int GetRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count);  /* 7 */
ORDWIN_API int GetCodeMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 8 */
ORDWIN_API int SetCodeMemory(uint8_t* buffer, unsigned int start, unsigned int count,
                             int disableDialogs);                                      /* 9 */
ORDWIN_API int SetXRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 10 */
ORDWIN_API int SetRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count);  /* 11 */
ORDWIN_API int Connected(void);                                                        /* 12 */
ORDWIN_API int SetTargetHalt(void);                                                    /* 13 */
ORDWIN_API int ORDWIN_STDCALL GetHardwareID(uint16_t* hardwareId);                     /* 14 */
ORDWIN_API int FLASHErase(int comPort, int disableDialogs, int protocol);              /* 15 */
ORDWIN_API int SetJTAGDeviceAndConnect(int comPort, int disableDialogs, uint8_t chainA,
                                       uint8_t chainB, uint16_t chainC, uint16_t chainD); /* 16 */
ORDWIN_API int BaudRateLookup(unsigned int index);                                        /* 17 */
ORDWIN_API int ISupportBanking(int* banks);                                               /* 18 */
ORDWIN_API int GetSAFirmwareVersion(void);                                                /* 19 */
ORDWIN_API const char* GetDLLVersion(void);                                               /* 20 */
ORDWIN_API int GetSFRMemory(uint8_t* buffer, unsigned int start, unsigned int count);     /* 21 */
ORDWIN_API int SetSFRMemory(uint8_t* buffer, unsigned int start, unsigned int count);     /* 22 */
ORDWIN_API int TargetStep(void);                                                          /* 23 */
ORDWIN_API int ReadPC(uint32_t* pc);                                                      /* 24 */
ORDWIN_API int WritePC(unsigned int address);                                             /* 25 */
ORDWIN_API int SetClrBP(int set, unsigned int address);                                   /* 26 */
ORDWIN_API int GetTargetStatus(int* status);                                              /* 27 */
ORDWIN_API int TargetReset(void);                                                         /* 28 */
ORDWIN_API int SetAdapter(int adapterType);                                               /* 29 */
ORDWIN_API int ConnectUSB(const char* serialNumber, int protocol, int connectOption,
                          int disableDialogs);                                            /* 30 */
ORDWIN_API int DisconnectUSB(void);                                                       /* 31 */
ORDWIN_API int USBDebugDevices(int* count);                                               /* 32 */
ORDWIN_API int GetUSBDeviceSN(int index, const char** serialNumber);                      /* 33 */
ORDWIN_API int GetUSBDevice(const char** serialNumber);                                   /* 34 */
ORDWIN_API int SetUSBDevice(const char* serialNumber);                                    /* 35 */
ORDWIN_API int FLASHEraseUSB(const char* serialNumber, int disableDialogs, int protocol); /* 36 */
ORDWIN_API int SetJTAGDeviceAndConnectUSB(const char* serialNumber, int connectOption,
                                          int disableDialogs, uint8_t chainA, uint8_t chainB,
                                          uint16_t chainC, uint16_t chainD); /* 37 */
ORDWIN_API int GetUSBFirmwareVersion(void);                                  /* 38 */
ORDWIN_API int GetUSBDLLVersion(const char** version);                       /* 39 */
ORDWIN_API int GetDebugLogicVersion(uint8_t* version);                       /* 40 */
ORDWIN_API int GetDeviceName(const char** name);                             /* 41 */
ORDWIN_API int SetSFRByte(unsigned int address, uint8_t value);              /* 42 */
ORDWIN_API int GetSFRByte(unsigned int address, uint8_t* value);             /* 43 */
ORDWIN_API int IndSetSFRByte(unsigned int address, uint8_t value);           /* 44 */
ORDWIN_API int IndGetSFRByte(unsigned int address, uint8_t* value);          /* 45 */
ORDWIN_API const char* GetErrorMsg(int code);                                /* 46 */
ORDWIN_API void SetAppName(const char* name);                                /* 47 */
ORDWIN_API int GetScratchPadMemory(uint8_t* buffer, unsigned int start,
                                   unsigned int count); /* 48 */
ORDWIN_API int SetScratchPadMemory(uint8_t* buffer, unsigned int start, unsigned int count,
                                   int disableDialogs);     /* 49 */
ORDWIN_API int VPPControl(int on);                          /* 50 */
ORDWIN_API int IRScan(int value);                           /* 51 */
ORDWIN_API int DRScan(int bits, const void* in, void* out); /* 52 */
ORDWIN_API int SetJTAGState(int a, int b);                  /* 53 */
ORDWIN_API int JTAGScanData(unsigned int bits, int flags, int value, const uint8_t* in,
                            uint8_t* out);                                        /* 54 */
ORDWIN_API int JtagTckCycles(int count);                                          /* 55 */
ORDWIN_API int VerifyFlashDownload(char* fileName, int disableDialogs, int bank); /* 56 */
ORDWIN_API int SetZeltraConnectionState(int state);                               /* 57 */
ORDWIN_API int GetPageCRC(int page, uint8_t* crc);                                /* 58 */
ORDWIN_API int GetPinMode(uint8_t* a, uint8_t* b, uint8_t* c);                    /* 59 */
ORDWIN_API int SetPinMode(uint8_t a, uint8_t b, uint8_t c);                       /* 60 */
ORDWIN_API int GetPinLatch(uint8_t* latch);                                       /* 61 */
ORDWIN_API int SetPinLatch(uint8_t mask, uint8_t value);                          /* 62 */
ORDWIN_API int SetMultiConnectMode(int mode);                                     /* 63 */
ORDWIN_API int SetC2ClockStrobe(uint8_t strobe);                                  /* 64 */

#ifdef __cplusplus
}
#endif

#endif
