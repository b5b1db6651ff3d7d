// The display doubles the tool's tests rely on: loaded with dlopen, they
// must record what the tool does and report what a test tells them to.
#include "spectrum/fake_analyze32.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

class FakeLibrary {
public:
    explicit FakeLibrary(const char* path) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~FakeLibrary()
    {
        if (handle_)
            dlclose(handle_);
    }
    template <typename Fn>
    Fn get(const char* name) const
    {
        return reinterpret_cast<Fn>(dlsym(handle_, name));
    }
    bool loaded() const { return handle_ != nullptr; }

private:
    void* handle_;
};

std::string calls(const FakeLibrary& lib)
{
    char buf[256];
    lib.get<FakeCallsFn>("FakeCalls")(buf, sizeof buf);
    return buf;
}

} // namespace

TEST(FakeAnalyze32, RecordsTheCallsAndReportsTheStatusItIsGiven)
{
    FakeLibrary lib(FAKE_ANALYZE32_PATH);
    ASSERT_TRUE(lib.loaded()) << dlerror();
    lib.get<FakeResetFn>("FakeReset")();

    const DisplayTitle t{"RSSI [mV]", "Channel", nullptr, "Air Monitor"};
    lib.get<DLLTitleFn>("DLLTitle")(&t);
    const DisplayControl c{800, 100, 30};
    lib.get<DLLControlFn>("DLLControl")(&c);
    lib.get<DLLShowFn>("DLLShow")();

    DisplayStatus s{};
    lib.get<DLLStatusFn>("DLLStatus")(&s);
    EXPECT_EQ(s.Shown, 1);
    EXPECT_EQ(s.Running, 0);

    lib.get<FakeSetStatusFn>("FakeSetStatus")(1, 1);
    std::array<int32_t, 40> values{};
    values[0] = 3300;
    DisplayData d{values.data(), 40};
    lib.get<DLLUpdateFn>("DLLUpdate")(&d);
    lib.get<DLLStatusFn>("DLLStatus")(&s);
    EXPECT_EQ(s.Running, 1);
    lib.get<DLLHideFn>("DLLHide")();
    lib.get<DLLStatusFn>("DLLStatus")(&s);
    EXPECT_EQ(s.Shown, 0);
    EXPECT_EQ(s.Running, 1); // left as it was, on purpose

    EXPECT_EQ(calls(lib), "DLLTitle,DLLControl,DLLShow,DLLUpdate,DLLHide");
    EXPECT_EQ(lib.get<FakeCallCountFn>("FakeCallCount")("DLLStatus"), 3);
    EXPECT_STREQ(lib.get<FakeTitleFn>("FakeTitle")(3), "Air Monitor");
    EXPECT_EQ(lib.get<FakeTitleFn>("FakeTitle")(2), nullptr);
    DisplayControl got{};
    ASSERT_EQ(lib.get<FakeLastControlFn>("FakeLastControl")(&got), 1);
    EXPECT_EQ(got.PeakHoldSweeps, 30);
    std::array<int32_t, 40> back{};
    EXPECT_EQ(lib.get<FakeLastDataFn>("FakeLastData")(back.data(), 40), 40);
    EXPECT_EQ(back[0], 3300);
    EXPECT_EQ(lib.get<FakeLastDataAddressFn>("FakeLastDataAddress")(), values.data());

    char tiny[4];
    EXPECT_EQ(lib.get<FakeCallsFn>("FakeCalls")(tiny, sizeof tiny), 45);
    EXPECT_STREQ(tiny, "DLL");
}

TEST(FakeAnalyze32, TheSecondDoubleLacksDLLControl)
{
    FakeLibrary lib(FAKE_ANALYZE32_NOCONTROL_PATH);
    ASSERT_TRUE(lib.loaded()) << dlerror();
    EXPECT_EQ(lib.get<DLLControlFn>("DLLControl"), nullptr);
    for (const char* name : {"DLLShow", "DLLHide", "DLLTitle", "DLLStatus", "DLLUpdate"})
        EXPECT_NE(lib.get<void (*)()>(name), nullptr) << name;
}
