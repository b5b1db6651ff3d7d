#pragma once
// Public interface of the spectrum display library libanalyze32.so.
// All integers are signed 32-bit, all texts NUL-terminated single-byte
// strings, all records passed by address.
#include <cstdint>

extern "C" {

struct DisplayStatus {
    int32_t Running;   // 1 while the display asks for a measurement
    int32_t Sweeps;    // DLLUpdate calls since the window was last shown
    int32_t PeakHold;  // 1 while the peak-hold markers are on
    int32_t Shown;     // nonzero while the window is shown
};

struct DisplayTitle {
    const char* ValueAxis;   // "RSSI [mV]"
    const char* ChannelAxis; // "Channel"
    const char* Reserved;    // null
    const char* Window;      // "Air Monitor"
};

// The tool passes 800, 100, 30: a peak held for 30 sweeps (about 15 s at
// two sweeps a second) then falling at 800 mV/s, repainted every 100 ms.
struct DisplayControl {
    int32_t PeakDecayMvPerSecond; // fall of a peak marker once its hold is over
    int32_t RefreshMs;            // repaint interval of the window, 20..2000
    int32_t PeakHoldSweeps;       // updates a new peak stays before it falls
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
