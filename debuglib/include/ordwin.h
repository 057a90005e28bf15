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
#if defined(ORDWIN_BUILDING) || defined(ORDWIN_STATIC)
/* The architecture's .def exports exactly its list, and nothing else; a
 * program linking the objects themselves (ORDWIN_STATIC) imports nothing. */
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

/* The DLL exports those two under their stdcall names alone; a GCC or Clang
 * caller binds them by those names, through the import library's thunks. */
#if defined(_WIN32) && defined(__GNUC__) && !defined(ORDWIN_BUILDING) && !defined(ORDWIN_STATIC)
#define ORDWIN_NAME_TEXT2(x) #x
#define ORDWIN_NAME_TEXT(x) ORDWIN_NAME_TEXT2(x)
#define ORDWIN_BY_NAME_API
#define ORDWIN_EXPORTED_AS(name) __asm__(ORDWIN_NAME_TEXT(__USER_LABEL_PREFIX__) name)
#else
#define ORDWIN_BY_NAME_API ORDWIN_API
#define ORDWIN_EXPORTED_AS(name)
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

/* The 64 exports.
 *
 * Rules that hold for every export unless its comment says otherwise:
 *  - Flags (disableDialogs, protocol and the 0/1 options of the download and
 *    erase exports) must be exactly 0 or 1, else ORDWIN_E_INVALIDARG. Each is
 *    tested where the export first uses it, so arguments before it may already
 *    be stored.
 *  - A NULL buffer or a byte count of 0 gives ORDWIN_E_INVALIDARG.
 *  - An export that needs the adapter gives ORDWIN_E_NOT_CONNECTED
 *    (0x8100801B) while no connection is open, and sends nothing.
 *  - An argument error changes nothing.
 *  - disableDialogs = 1 (and the quiet arguments) keep the library from
 *    asking the host anything: no message boxes, no progress dialogs.
 * Calls must come from one thread at a time; long operations call the host's
 * pumpEvents, which must not call back into the library while one runs.
 *
 * States: idle after load (only the configuration, listing, version and
 * connect/erase exports do anything useful); connected after a successful
 * Connect/ConnectUSB; idle again after Disconnect/DisconnectUSB, a target
 * that stops answering, or a failed download. "Halted" below means the run
 * state GetTargetStatus reports is 1.
 */

/* --- Connection ----------------------------------------------------------- */

/* Connects through the serial debug adapter on COM port comPort (1..512; on
 * Linux the path in ORDWIN_COM<n>, else the n-th port found). protocol: 0 JTAG,
 * 1 C2. baudIndex 0..5 picks a rate through BaudRateLookup (0: automatic);
 * other values become 0. Disconnects first when connected. Results: 0;
 * ORDWIN_E_INVALIDARG (flags, COM port out of range); ORDWIN_E_COM_CLOSE when
 * the previous connection cannot be closed; ORDWIN_E_LINK_OPEN when the port
 * cannot be opened; identification errors (ORDWIN_E_UNKNOWN_DEVICE...). On
 * failure the port is closed again. */
ORDWIN_API int Connect(int comPort, int disableDialogs, int protocol, int baudIndex); /* 1 */
/* Programs a file into code memory. Connected required.
 *   fileName       Intel-HEX or OMF file.
 *   eraseAndReset  0/1: erase the user code area and reset the target first.
 *   disableDialogs 0/1: quiet, no message boxes or progress dialog.
 *   scratchTarget  0/1: load into the scratch-pad flash instead.
 *   bank           -1 unbanked; 2 or 3 picks the code bank; 0 is refused.
 *   lock           nonzero: write 0 into both lock bytes afterwards.
 *   preserve       nonzero: read each page from the target before changing it.
 * Checks in this order: disableDialogs, eraseAndReset, scratchTarget, bank
 * (ORDWIN_E_INVALIDARG), connected, then the file: "File not found." and
 * ORDWIN_E_INVALID_PATH when it cannot be opened. A cancelled progress dialog
 * gives ORDWIN_E_DOWNLOAD_CANCELLED. A failed download disconnects. */
ORDWIN_API int Download(char* fileName, int eraseAndReset, int disableDialogs, int scratchTarget,
                        int bank, int lock, int preserve); /* 2 */
/* Closes the connection of either adapter type; comPort is ignored. 0 also
 * when nothing was connected. */
ORDWIN_API int Disconnect(int comPort); /* 3 */
/* The derivative id read at connect into *derivativeId; never talks to the
 * adapter. Connected required (then *derivativeId is left alone). Exported as
 * _GetDerivativeID@4 on 32-bit Windows. */
ORDWIN_BY_NAME_API int ORDWIN_STDCALL GetDerivativeID(uint8_t* derivativeId)
    ORDWIN_EXPORTED_AS("_GetDerivativeID@4"); /* 4 */

/* --- Execution control (connected required) ------------------------------- */

/* Runs the target from its program counter, after writing back changed SFRs. */
ORDWIN_API int SetTargetGo(void); /* 5 */

/* --- Memory ---------------------------------------------------------------- */

/* Reads count bytes of external RAM (XDATA) from start. ORDWIN_E_NO_XRAM when
 * the device has none; the upper end is not checked. Connected required. */
ORDWIN_API int GetXRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 6 */
/* Reads internal RAM; start + count beyond the device's RAM size gives
 * ORDWIN_E_INVALIDARG (checked before the connection). */
ORDWIN_API int GetRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 7 */
/* Reads code memory; the reserved range reads as the device hides it. */
ORDWIN_API int GetCodeMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 8 */
/* Writes code memory page by page (erasing what it must); disableDialogs 0/1.
 * The reserved range is refused. Connected required. */
ORDWIN_API int SetCodeMemory(uint8_t* buffer, unsigned int start, unsigned int count,
                             int disableDialogs); /* 9 */
/* Writes external RAM; same checks as GetXRAMMemory. */
ORDWIN_API int SetXRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 10 */
/* Writes internal RAM; same checks as GetRAMMemory. */
ORDWIN_API int SetRAMMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 11 */

/* 1 while a connection is open, else 0; never fails, no side effect. */
ORDWIN_API int Connected(void); /* 12 */
/* Halts the target. Returns 0, not an error, when not connected. */
ORDWIN_API int SetTargetHalt(void); /* 13 */
/* The 16-bit hardware id read at connect; as GetDerivativeID. Exported as
 * _GetHardwareID@4 on 32-bit Windows. */
ORDWIN_BY_NAME_API int ORDWIN_STDCALL GetHardwareID(uint16_t* hardwareId)
    ORDWIN_EXPORTED_AS("_GetHardwareID@4"); /* 14 */
/* Erases the target's flash through the serial adapter on comPort (flags and
 * protocol as for Connect). Must be called while NOT connected:
 * ORDWIN_E_CONNECTED otherwise. Leaves the library idle. */
ORDWIN_API int FLASHErase(int comPort, int disableDialogs, int protocol); /* 15 */
/* Stores the four JTAG chain values, then Connect(comPort, disableDialogs,
 * 0 (JTAG), 0); its result. */
ORDWIN_API int SetJTAGDeviceAndConnect(int comPort, int disableDialogs, uint8_t chainA,
                                       uint8_t chainB, uint16_t chainC, uint16_t chainD); /* 16 */
/* Baud rate of a Connect baud index: 1 115200, 2 57600, 3 38400, 4 9600,
 * 5 2400, anything else 0 (automatic). No context access. */
ORDWIN_API int BaudRateLookup(unsigned int index); /* 17 */
/* *banks = 3 for families with banked code (codes 7, 32, 42), else 0; result
 * 0. NULL: ORDWIN_E_INVALIDARG. Connected required. */
ORDWIN_API int ISupportBanking(int* banks); /* 18 */
/* The serial-adapter firmware version this library expects (23). Constant. */
ORDWIN_API int GetSAFirmwareVersion(void); /* 19 */
/* The library's version text, "4.10.00". Constant, owned by the library. */
ORDWIN_API const char* GetDLLVersion(void); /* 20 */
/* Reads SFRs start..start+count-1 on the target's current page (through the
 * library's SFR shadow). Checks: buffer and count, connected, then
 * start >= 0x80 and start + count <= 0x100 (else ORDWIN_E_INVALIDARG). */
ORDWIN_API int GetSFRMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 21 */
/* Writes SFRs into the shadow only; the target gets the changed values at the
 * next run, step or shadow read. Same checks as GetSFRMemory. */
ORDWIN_API int SetSFRMemory(uint8_t* buffer, unsigned int start, unsigned int count); /* 22 */
/* Executes one instruction. Connected required. */
ORDWIN_API int TargetStep(void); /* 23 */
/* The 16-bit program counter into *pc. Connected and halted required
 * (ORDWIN_E_RUN_STATE otherwise). */
ORDWIN_API int ReadPC(uint32_t* pc); /* 24 */
/* Sets the program counter. Connected and halted required
 * (ORDWIN_E_RUN_STATE); an address in the reserved area or beyond the code
 * size gives ORDWIN_E_INVALIDARG. */
ORDWIN_API int WritePC(unsigned int address); /* 25 */
/* Sets (set != 0) or clears (set == 0) a breakpoint at a code address. Checks
 * in this order: address in the reserved area ORDWIN_E_BP_RESERVED, beyond the
 * code size ORDWIN_E_BP_RANGE, connected, target running ORDWIN_E_RUN_STATE.
 * More breakpoints than the device has: ORDWIN_E_BP_LIMIT. */
ORDWIN_API int SetClrBP(int set, unsigned int address); /* 26 */
/* The run state into *status: 1 halted, 0 running, 5 after a flash erase,
 * 255 not determined. Connected required (*status untouched otherwise). */
ORDWIN_API int GetTargetStatus(int* status); /* 27 */
/* Resets the target and leaves it halted; then clears every breakpoint.
 * Connected required. */
ORDWIN_API int TargetReset(void); /* 28 */
/* Chooses the adapter type for the next connection: 1..3 (3 = USB). Others
 * show "Illegal Adapter %i selected.", store -1 and give ORDWIN_E_INVALIDARG.
 * Works while idle. */
ORDWIN_API int SetAdapter(int adapterType); /* 29 */
/* Connects through the USB adapter with that serial number ("" keeps the one
 * selected). protocol: 0 JTAG, 1 C2; connectOption goes to the adapter after
 * its firmware check (option byte 0 when nonzero, 8 when zero);
 * disableDialogs 0/1. Disconnects first when connected
 * (ORDWIN_E_USB_DLL when that fails). Checks the adapter firmware (a virtual
 * adapter may be updated after a question), then identifies the target.
 * Results: 0; ORDWIN_E_INVALIDARG; ORDWIN_E_LINK_OPEN (no such adapter, or it
 * cannot be opened: WpGetOpenError says why); ORDWIN_E_FIRMWARE_UPDATE;
 * ORDWIN_E_UNKNOWN_DEVICE; ORDWIN_E_NOT_CONNECTED when the target did not
 * answer. */
ORDWIN_API int ConnectUSB(const char* serialNumber, int protocol, int connectOption,
                          int disableDialogs); /* 30 */
/* Closes the connection, whatever the adapter type; 0 also when idle. */
ORDWIN_API int DisconnectUSB(void); /* 31 */
/* The number of attached USB adapters into *count. Works while idle. */
ORDWIN_API int USBDebugDevices(int* count); /* 32 */
/* The serial number of adapter index (0-based, as USBDebugDevices counts)
 * into *serialNumber; the text stays owned by the library until the adapters
 * are counted again. Works while idle. */
ORDWIN_API int GetUSBDeviceSN(int index, const char** serialNumber); /* 33 */
/* The serial number of the selected USB adapter. Works while idle. */
ORDWIN_API int GetUSBDevice(const char** serialNumber); /* 34 */
/* Selects the USB adapter with that serial number for the next ConnectUSB or
 * FLASHEraseUSB. Works while idle. */
ORDWIN_API int SetUSBDevice(const char* serialNumber); /* 35 */
/* Erases the target's flash through the USB adapter with that serial number;
 * as FLASHErase (ORDWIN_E_CONNECTED while connected). */
ORDWIN_API int FLASHEraseUSB(const char* serialNumber, int disableDialogs, int protocol); /* 36 */
/* Stores the four JTAG chain values, then ConnectUSB(serialNumber, 0 (JTAG),
 * connectOption, disableDialogs); its result. */
ORDWIN_API int SetJTAGDeviceAndConnectUSB(const char* serialNumber, int connectOption,
                                          int disableDialogs, uint8_t chainA, uint8_t chainB,
                                          uint16_t chainC, uint16_t chainD); /* 37 */
/* The USB-adapter firmware version this library expects (31). Constant. */
ORDWIN_API int GetUSBFirmwareVersion(void); /* 38 */
/* The HID adapter library's version text (Wickport's WpGetVersion). */
ORDWIN_API int GetUSBDLLVersion(const char** version); /* 39 */
/* The debug logic version read at connect; as GetDerivativeID. */
ORDWIN_API int GetDebugLogicVersion(uint8_t* version); /* 40 */
/* The connected derivative's name from the device database ("Zeltra"); the
 * text stays owned by the library. Connected required. */
ORDWIN_API int GetDeviceName(const char** name); /* 41 */
/* Writes one SFR directly (low byte of address), without pages or shadow.
 * Connected required. */
ORDWIN_API int SetSFRByte(unsigned int address, uint8_t value); /* 42 */
/* Reads one SFR directly into *value. Connected required. */
ORDWIN_API int GetSFRByte(unsigned int address, uint8_t* value); /* 43 */
/* Writes one C2 interface register. The connection is not tested here: while
 * idle the exchange fails with a link error. */
ORDWIN_API int IndSetSFRByte(unsigned int address, uint8_t value); /* 44 */
/* Reads one C2 interface register into *value; as IndSetSFRByte. */
ORDWIN_API int IndGetSFRByte(unsigned int address, uint8_t* value); /* 45 */
/* The message text of a result code (a generic text for unknown codes); never
 * fails, owned by the library. */
ORDWIN_API const char* GetErrorMsg(int code); /* 46 */
/* Caption of the library's message boxes (copied); "" or NULL gives the
 * library's own title. */
ORDWIN_API void SetAppName(const char* name); /* 47 */
/* Reads the scratch-pad flash area; the arguments go unchecked to the read. */
ORDWIN_API int GetScratchPadMemory(uint8_t* buffer, unsigned int start,
                                   unsigned int count); /* 48 */
/* Writes the scratch-pad flash area; disableDialogs 0/1. Connected required. */
ORDWIN_API int SetScratchPadMemory(uint8_t* buffer, unsigned int start, unsigned int count,
                                   int disableDialogs); /* 49 */
/* Switches the adapter's programming voltage on (1) or off (0); the
 * adapter's status is the result. Connected required. */
ORDWIN_API int VPPControl(int on); /* 50 */

/* --- JTAG (no connected test; a failed exchange gives its link error) ------ */

/* Instruction-register scan. */
ORDWIN_API int IRScan(int value); /* 51 */
/* Data-register scan of `bits` bits from `in` into `out`. */
ORDWIN_API int DRScan(int bits, const void* in, void* out); /* 52 */
/* Sends the JTAG state command with a and b; "SetJTAGState Command failed."
 * when it cannot be sent. */
ORDWIN_API int SetJTAGState(int a, int b); /* 53 */
/* A scan of `bits` bits (low 16 bits used): flags bit 0 sends (bits+7)/8 bytes
 * from `in`, bit 1 receives as many into `out`. */
ORDWIN_API int JTAGScanData(unsigned int bits, int flags, int value, const uint8_t* in,
                            uint8_t* out); /* 54 */
/* Clocks TCK `count` times (low 16 bits). */
ORDWIN_API int JtagTckCycles(int count); /* 55 */

/* --- Verification and Zeltra ---------------------------------------------- */

/* Compares an Intel-HEX file with code memory: 0 when equal. disableDialogs
 * 0/1; connected required; "File not found." or "File entered is not a Hex
 * file." with ORDWIN_E_INVALID_PATH. */
ORDWIN_API int VerifyFlashDownload(char* fileName, int disableDialogs, int bank); /* 56 */
/* 1 lets the next connection accept a Zeltra-family chip that is not yet a
 * Zeltra (derivative id 0xFF, "Zeltra Pristine"); 0 (default) refuses it with
 * ORDWIN_E_UNKNOWN_DEVICE. Stored only; always 0. */
ORDWIN_API int SetZeltraConnectionState(int state); /* 57 */
/* The target's two-byte CRC of page `page` (low byte) into crc[0] (high byte)
 * and crc[1]: CRC-16/XMODEM over the 256 code bytes of a code page; a Zeltra
 * answers pages 0xF8..0xFB with its region CRCs. Connected required. */
ORDWIN_API int GetPageCRC(int page, uint8_t* crc); /* 58 */

/* --- Adapter pins (connected required) -------------------------------------- */

/* Reads the adapter's three pin modes; failure ORDWIN_E_PIN_MODE. */
ORDWIN_API int GetPinMode(uint8_t* a, uint8_t* b, uint8_t* c); /* 59 */
/* Sets the pin modes: a 0..4, b 0..3, c 0..1 (else ORDWIN_E_INVALIDARG);
 * failure ORDWIN_E_PIN_MODE. */
ORDWIN_API int SetPinMode(uint8_t a, uint8_t b, uint8_t c); /* 60 */
/* Reads the pin latch into *latch; NULL does nothing and gives 0 (when
 * connected); failure ORDWIN_E_GET_PIN_LATCH. */
ORDWIN_API int GetPinLatch(uint8_t* latch); /* 61 */
/* Sets the latch bits of `mask` to those of `value`; failure
 * ORDWIN_E_SET_PIN_LATCH. */
ORDWIN_API int SetPinLatch(uint8_t mask, uint8_t value); /* 62 */

/* --- Configuration (work while idle) ------------------------------------ */

/* Nonzero: later connects skip the adapter handshake and only reset the
 * target of a link already open. Stored unchecked; always 0. */
ORDWIN_API int SetMultiConnectMode(int mode); /* 63 */
/* The C2 clock strobe, 1..39 (else ORDWIN_E_INVALIDARG); stored and sent to
 * the adapter. */
ORDWIN_API int SetC2ClockStrobe(uint8_t strobe); /* 64 */

#ifdef __cplusplus
}
#endif

#endif
