#pragma once
// Shift-JIS (CP932) helpers. The engine keeps text as Shift-JIS bytes, as
// it goes on the wire; lengths are counted in those bytes.
#include <string>
#include <string_view>

namespace kd36 {

// UTF-8 to Shift-JIS; characters without a Shift-JIS form become '?'.
std::string utf8ToSjis(std::string_view utf8);
// Shift-JIS to UTF-8; never fails: an invalid byte becomes U+FFFD, a NUL
// and other control bytes are kept as they are.
std::string sjisToUtf8(std::string_view sjis);
// True for a byte that starts a double-byte character.
bool isSjisLead(unsigned char b);
// Largest cut <= n that does not split a double-byte character of s.
size_t sjisSafeCut(std::string_view s, size_t n);

// Shorthand for the system's own Japanese literals.
inline std::string sj(std::string_view utf8) { return utf8ToSjis(utf8); }

} // namespace kd36
