// Byte addresses in a tag's memory as readerctl takes and shows them: a
// byte address from 0 on, or -1 for the tag family's first data block (the
// library's default start, where a Mifare tag's sector trailers are passed
// over).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace readerctl {

// --start's value; false (`start` unchanged) for anything but -1 or a byte
// address.
bool parseStartAddress(std::string_view text, int &start);

// Why `text` is not a start address, for a usage message.
std::string startAddressProblem(std::string_view text);

// "16 bytes from byte 6", "8 of 40 bytes from the family's first data block".
std::string byteRangeText(int start, std::size_t count, std::size_t asked);

}  // namespace readerctl
