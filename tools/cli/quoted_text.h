// Bytes made safe to print: decode data and settings texts may hold any byte
// value, control characters included.
#pragma once

#include <string>
#include <string_view>

namespace readerctl {

// A JSON string literal. Every byte becomes the code point of its value
// (0xE9 gives "\u00e9"), so no byte is lost whatever the data's encoding.
std::string jsonQuoted(std::string_view bytes);

// A double-quoted string for people. Printable ASCII stays as it is, but for
// '\\' and '"'; the rest becomes \r \n \t \e or \xHH, the escapes --barcode
// takes, so the data of a decode shown can be presented again.
std::string displayQuoted(std::string_view bytes);

}  // namespace readerctl
