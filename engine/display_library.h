#pragma once
// Loading of the spectrum display library, behind an interface so the
// engine stays free of the toolkit and tests can hand in a double.
#include <memory>
#include <string>

namespace kd36 {

class DisplayLibrary {
public:
    virtual ~DisplayLibrary() = default;
    virtual void* resolve(const char* symbol) = 0;
    // False when the unload failed; `error` then tells why.
    virtual bool unload(std::string* error) = 0;
};

class DisplayLibraryLoader {
public:
    virtual ~DisplayLibraryLoader() = default;
    // nullptr when the library cannot be loaded.
    virtual std::unique_ptr<DisplayLibrary> load(std::string* error) = 0;
};

} // namespace kd36
