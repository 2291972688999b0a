// Bytes as hexadecimal text, both ways: tag data and UIDs are shown so, and
// the data to write to a tag can be given so.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace readerctl {

// Two uppercase digits per byte, nothing between them.
std::string hexText(std::string_view bytes);

// The bytes of `text`: two digits per byte, either case, nothing between
// them. nullopt for anything else (an odd count of digits included); the
// empty text gives no bytes.
std::optional<std::string> parseHexBytes(std::string_view text);

}  // namespace readerctl
