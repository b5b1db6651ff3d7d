#include "monitor_buffer.h"

#include "sjis.h"
#include "view.h"

namespace kd36 {

namespace {

// Drops whole blocks of kDrop bytes from the front until at most `keep`
// remain, in one cut. A cut that would end inside a double-byte character
// takes it too.
bool dropBlocks(std::string& text, size_t keep)
{
    if (text.size() <= keep)
        return false;
    const size_t blocks = (text.size() - keep + MonitorBuffer::kDrop - 1) / MonitorBuffer::kDrop;
    const size_t want = blocks * MonitorBuffer::kDrop;
    size_t cut = sjisSafeCut(text, want);
    if (cut < want)
        cut += 2;
    text.erase(0, std::min(cut, text.size()));
    return true;
}

} // namespace

bool MonitorBuffer::addLine(const std::string& text, std::string* added)
{
    if (text.empty())
        return false;
    bool dropped = dropBlocks(text_, kLimit);
    size_t end = text.size();
    while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    text_.append(text, 0, end);
    text_ += "\r\n";
    // A line longer than a block (a backlog taken at once) is kept only as
    // far as the memo would show it after the next line.
    if (end > kDrop && dropBlocks(text_, kLimit))
        dropped = true;
    if (added)
        *added = text_.substr(text_.size() - std::min(text_.size(), end + 2), end);
    return dropped;
}

void MonitorBuffer::echo(View& view, Monitor which, const std::string& text)
{
    std::string line;
    bool dropped = addLine(text, &line);
    if (text.empty())
        return;
    if (dropped)
        view.monitorText(which, text_);
    else
        view.monitorLine(which, line);
}

} // namespace kd36
