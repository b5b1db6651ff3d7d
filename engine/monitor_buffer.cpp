#include "monitor_buffer.h"

#include "sjis.h"
#include "view.h"

namespace kd36 {

bool MonitorBuffer::addLine(const std::string& text, std::string* added)
{
    if (text.empty())
        return false;
    bool dropped = false;
    if (text_.size() > kLimit) {
        // A drop that would end inside a double-byte character takes it too.
        size_t cut = sjisSafeCut(text_, kDrop);
        if (cut < kDrop)
            cut += 2;
        text_.erase(0, std::min(cut, text_.size()));
        dropped = true;
    }
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    std::string line = text.substr(0, end);
    text_ += line;
    text_ += "\r\n";
    if (added)
        *added = std::move(line);
    return dropped;
}

void MonitorBuffer::echo(View& view, const char* name, const std::string& text)
{
    std::string line;
    bool dropped = addLine(text, &line);
    if (text.empty())
        return;
    if (dropped)
        view.setMemoText(name, text_);
    else
        view.appendMemoLine(name, line);
}

} // namespace kd36
