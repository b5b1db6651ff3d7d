#pragma once
// Test doubles of the display library, for tests that load it at run time:
//
//   libfake_analyze32.so           the six exports of analyze32.h, no window
//   libfake_analyze32_nocontrol.so the same without DLLControl, to test a
//                                  library with a missing function
//
// Behaviour: DLLShow sets Shown 1; DLLHide sets Shown 0 and leaves Running as
// it was (a display may still report Running 1 after hiding); DLLStatus
// writes the four integers; DLLTitle, DLLControl and DLLUpdate copy what
// they are given. Every call is recorded.
//
// Extra exports, looked up with dlsym or QLibrary::resolve by these names:
//   FakeReset()                       forget all calls, status back to 0
//   FakeSetStatus(running, shown)     what the next DLLStatus reports
//   FakeCalls(buf, size)              calls in order except DLLStatus, as
//                                     "DLLTitle,DLLControl,DLLShow"; writes
//                                     at most size-1 bytes and a NUL, returns
//                                     the full length
//   FakeCallCount(name)               calls of one function, DLLStatus too
//   FakeTitle(index)                  copy of DisplayTitle text 0..3 from the
//                                     last DLLTitle; null for a null pointer
//   FakeLastControl(out)              the last DisplayControl, 0 if none yet
//   FakeLastData(out, max)            copies the last DLLUpdate values,
//                                     returns their count (-1 if none yet)
//   FakeLastDataAddress()             DisplayData::Values of the last update
#include <cstdint>

#include "analyze32.h"

extern "C" {
typedef void (*FakeResetFn)(void);
typedef void (*FakeSetStatusFn)(int32_t running, int32_t shown);
typedef int32_t (*FakeCallsFn)(char* buf, int32_t size);
typedef int32_t (*FakeCallCountFn)(const char* name);
typedef const char* (*FakeTitleFn)(int32_t index);
typedef int32_t (*FakeLastControlFn)(DisplayControl* out);
typedef int32_t (*FakeLastDataFn)(int32_t* out, int32_t max);
typedef const void* (*FakeLastDataAddressFn)(void);
}
