#include "link/wickport_api.h"

#include "wickport.h"

namespace ordwin {
namespace {

constexpr WickportApi kLibrary = {
    WpGetDeviceCount,
    WpResetBootMode,
    WpSelectDevice,
    WpSetTimeout,
    WpGetSelectedSerial,
    WpGetSerialByIndex,
    WpOpen,
    WpClose,
    WpRead,
    WpWrite,
    WpResetAdapter,
    WpGetVersion,
    WpSetControlValue,
    WpGetControlValue,
    WpGetProductId,
    WpGetProductIdByIndex,
    WpSetFeatureReport,
    WpGetFeatureReport,
    WpGetBackend,
    WpGetOpenError,
    WpPause,
    WpGetLastError,
};

const WickportApi* g_api = &kLibrary;

}  // namespace

const WickportApi& Wickport() {
    return *g_api;
}

void SetWickportApi(const WickportApi* api) {
    g_api = api != nullptr ? api : &kLibrary;
}

}  // namespace ordwin
