// The answers a kind-6 module gives about tags, as the host reads them:
// text of bracketed hexadecimal fields, without the line end.
//
// No tag answering looks different per protocol, each a text the host's
// field rules find nothing in: type A answers no field at all (an empty
// pair would read as an empty UID once the host cuts its two last
// characters), type B and Tag-it an empty field "[]", ISO 15693 an empty
// slot "[,]".
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "readersim/sim_tag.h"

namespace readersim {

std::string hexNoTagAnswer(AirProtocol protocol);

// The answer to a detection frame of `protocol` with these tags of its
// families in the field (field order; none: hexNoTagAnswer(), for ISO 15693
// all 16 slots empty):
//   type A   "[" UID SAK "]": the UID and the SAK byte the host cuts off
//   type B   "[50" PUPI appdata protinfo "]": an ATQB, UID = the PUPI
//   Tag-it   "[" 00 00 UID 00 00 info count "]": 10 bytes, 20 digits
//   ISO 15693  one field per time slot of the 16-slot inventory, slot =
//            low 4 bits of the UID's last byte: "[,]" empty,
//            "[" flags UID-reversed ",]" one tag, "[z,]" a collision
// Types A, B and Tag-it report the first tag only (the module singles one
// out).
std::string hexDetectionAnswer(AirProtocol protocol, std::span<const SimTag *const> tags);

// Four block bytes as the Tag-it read answer carries them: shifted right by
// two bits into five bytes; the bits outside the block are ones.
std::array<std::uint8_t, 5> shiftTagitBlock(std::span<const std::uint8_t, 4> block);
// "[" 00 NN 00 + the five shifted bytes "]": the block from character 6 on.
std::string tagitReadAnswer(int block, std::span<const std::uint8_t, 4> data);

// An ISO 15693 answer: "[" response flags + data "]".
std::string vicinityAnswer(std::uint8_t flags, std::span<const std::uint8_t> data);
// An ISO 15693 error answer: flags 01 and the error code.
std::string vicinityError(std::uint8_t code);

}  // namespace readersim
