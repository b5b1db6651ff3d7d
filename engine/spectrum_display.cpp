#include "spectrum_display.h"

namespace kd36 {
namespace {

const DisplayTitle& titles()
{
    static const DisplayTitle t{"RSSI [mV]", "Channel", nullptr, "Air Monitor"};
    return t;
}

const DisplayControl& controls()
{
    static const DisplayControl c{800, 100, 30};
    return c;
}

template <class Fn>
Fn entry(DisplayLibrary& lib, const char* name)
{
    return reinterpret_cast<Fn>(lib.resolve(name));
}

} // namespace

SpectrumDisplay::SpectrumDisplay()
{
    frame_.Values = sweep_.data();
    frame_.Count = int32_t(sweep_.size());
}

SpectrumDisplay::~SpectrumDisplay()
{
    if (lib_)
        lib_->unload(nullptr);
}

SpectrumDisplay::Load SpectrumDisplay::load(DisplayLibraryLoader* loader, std::string& why)
{
    std::unique_ptr<DisplayLibrary> lib = loader ? loader->load(&why) : nullptr;
    if (!lib)
        return Load::NoLibrary;
    auto show = entry<DLLShowFn>(*lib, "DLLShow");
    auto hide = entry<DLLHideFn>(*lib, "DLLHide");
    auto title = entry<DLLTitleFn>(*lib, "DLLTitle");
    auto status = entry<DLLStatusFn>(*lib, "DLLStatus");
    auto update = entry<DLLUpdateFn>(*lib, "DLLUpdate");
    auto control = entry<DLLControlFn>(*lib, "DLLControl");
    lib_ = std::move(lib);
    if (!show || !hide || !title || !status || !update || !control)
        return Load::Unresolved;
    show_ = show;
    hide_ = hide;
    status_ = status;
    update_ = update;
    title(&titles());
    control(&controls());
    show_();
    return Load::Shown;
}

void SpectrumDisplay::show()
{
    if (show_)
        show_();
}

void SpectrumDisplay::hide()
{
    if (hide_)
        hide_();
}

DisplayStatus SpectrumDisplay::status() const
{
    DisplayStatus st{};
    if (!lib_ || !status_)
        return st;
    status_(&st);
    // The start and stop logic knows only 0 and 1.
    st.Running = st.Running != 0 ? 1 : 0;
    return st;
}

void SpectrumDisplay::update(const std::array<int32_t, kChannels>& mv)
{
    if (!update_)
        return;
    sweep_ = mv;
    update_(&frame_);
}

bool SpectrumDisplay::unload(std::string& why)
{
    if (!lib_)
        return true;
    const bool ok = lib_->unload(&why);
    lib_.reset();
    clearEntries();
    return ok;
}

void SpectrumDisplay::forget()
{
    lib_.reset();
    clearEntries();
    sweep_.fill(0);
}

void SpectrumDisplay::clearEntries()
{
    show_ = nullptr;
    hide_ = nullptr;
    status_ = nullptr;
    update_ = nullptr;
}

} // namespace kd36
