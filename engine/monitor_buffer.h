#pragma once
// The text of a read-only log memo, in Shift-JIS bytes, each line followed
// by CR LF as the memo holds it. Keeps about 16 kB.
#include <string>

namespace kd36 {

class View;
enum class Monitor;

class MonitorBuffer {
public:
    static constexpr size_t kLimit = 16383; // above this the head is dropped
    static constexpr size_t kDrop = 8191;

    // Adds `text` as a new last line: drops the oldest 8191 bytes when the
    // memo holds more than 16383 (never splitting a double-byte character),
    // removes trailing codes <= 32. Returns true when the head was dropped.
    // Empty text adds nothing.
    bool addLine(const std::string& text, std::string* added = nullptr);
    void clear() { text_.clear(); }
    const std::string& text() const { return text_; }
    std::string& mutableText() { return text_; }

    // addLine, then shows the change in the monitor `which` of `view`.
    void echo(View& view, Monitor which, const std::string& text);

private:
    std::string text_;
};

} // namespace kd36
