#pragma once
// Public interface of the spectrum display library libanalyze32.so.
// All integers are signed 32-bit, all texts NUL-terminated single-byte
// strings, all records passed by address.
#include <cstdint>

extern "C" {

struct DisplayStatus {
    int32_t Running;   // 1 while the display asks for a measurement
    int32_t Sweeps;    // updates drawn since the window was shown
    int32_t PeakHold;  // 1 while the peak-hold trace is on
    int32_t Shown;     // nonzero while the window is shown
};

struct DisplayTitle {
    const char* ValueAxis;   // "RSSI [mV]"
    const char* ChannelAxis; // "Channel"
    const char* Reserved;    // null
    const char* Window;      // "Air Monitor"
};

struct DisplayControl {
    int32_t FullScaleDecay; // see spectrum/README in the library source
    int32_t RefreshMs;
    int32_t PeakHoldSweeps;
};

struct DisplayData {
    int32_t* Values; // 40 values, channels 7..46, millivolts
    int32_t Count;   // 40
};

typedef void (*DLLShowFn)(void);
typedef void (*DLLHideFn)(void);
typedef void (*DLLTitleFn)(const DisplayTitle*);
typedef void (*DLLStatusFn)(DisplayStatus*);
typedef void (*DLLUpdateFn)(const DisplayData*);
typedef void (*DLLControlFn)(const DisplayControl*);

}
