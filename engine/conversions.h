#pragma once
// Number readers with the exact acceptance rules the modem protocol and the
// input fields rely on.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kd36 {

// Raised where a text that must be a number is not; reaches the general
// error box like any exception escaping a handler.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The digit of station 0..15 as the modem names it.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Leading blanks skipped, optional sign, hexadecimal after "$", "x"/"X" or
// "0x"/"0X"; any other character, an empty text or overflow of 32 bits fails.
std::optional<int32_t> strToInt(std::string_view text);
// As strToInt, but throws ConversionError ("'abc' is not a valid integer value").
int32_t strToIntOrThrow(std::string_view text);

// A subset of sscanf: literal characters must match, a blank in the format
// matches any run of white space, %d reads a signed decimal, %X/%x a hex
// number (optional sign and 0x prefix), %c one character. Numbers skip
// leading white space and saturate instead of overflowing. Returns the
// number of conversions done; reading stops at the first mismatch. Like
// sscanf, -1 when the input ends before the first conversion.
struct ScanValue {
    int64_t number = 0;
    char ch = 0;
};
int scanLite(std::string_view input, std::string_view format, std::vector<ScanValue>& out);

} // namespace kd36
