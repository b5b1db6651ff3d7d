#include "sjis.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace kd36 {
namespace {

// iconv descriptors are not thread-safe; one pair shared under a lock.
struct Converter {
    iconv_t toSjis;
    iconv_t toUtf8;
    std::mutex lock;
    Converter()
        : toSjis(iconv_open("CP932", "UTF-8"))
        , toUtf8(iconv_open("UTF-8", "CP932"))
    {
    }
};

Converter& conv()
{
    static Converter c;
    return c;
}

// Converts what it can; on an invalid input sequence emits `bad` and skips
// one input byte (Shift-JIS: the unconvertible character's bytes).
std::string run(iconv_t cd, std::string_view in, std::string_view bad, bool skipWholeUtf8)
{
    std::string out;
    out.reserve(in.size() * 2 + 4);
    if (cd == iconv_t(-1)) {
        out.assign(in);
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[1024];
    while (left > 0) {
        char* dst = buf;
        size_t room = sizeof buf;
        size_t r = iconv(cd, &src, &left, &dst, &room);
        out.append(buf, size_t(dst - buf));
        if (r != size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL (truncated at the end)
        out.append(bad);
        size_t skip = 1;
        if (skipWholeUtf8) {
            unsigned char c = static_cast<unsigned char>(*src);
            skip = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            if (skip > left)
                skip = left;
        }
        src += skip;
        left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

} // namespace

std::string utf8ToSjis(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    auto& c = conv();
    std::lock_guard g(c.lock);
    return run(c.toSjis, utf8, "?", true);
}

std::string sjisToUtf8(std::string_view sjis)
{
    if (isAscii(sjis))
        return std::string(sjis);
    auto& c = conv();
    std::lock_guard g(c.lock);
    return run(c.toUtf8, sjis, "\xEF\xBF\xBD", false);
}

bool isSjisLead(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

size_t sjisSafeCut(std::string_view s, size_t n)
{
    if (n >= s.size())
        return s.size();
    size_t i = 0;
    while (i < n) {
        size_t w = (isSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
        if (i + w > n)
            break;
        i += w;
    }
    return i;
}

} // namespace kd36
