// Reading the hex-frame module's answers: text holding fields in square
// brackets, "[" hexadecimal digits "]". A field may be empty or begin with a
// comma; in an ISO 15693 answer a comma ends the field's payload.
//
// Every parse stays inside the answer, and an answer that yields nothing
// usable (no field, an empty or too short one, odd or foreign digits) fails
// with an empty output.
#pragma once

#include "core/byte_string.h"

namespace reader {

// UID: the payload as the tag's identification text. Data: the payload as
// block bytes (ISO 15693 only: decoded, the response flags byte dropped).
enum class AnswerMode { Uid, Data };

// Finds the payload of an answer to a frame of protocol `selector` (the
// TagType of the family: 3, 5, 8 or 16):
//  - 3: the first bracket field without its last two characters, which do
//    not belong to the UID;
//  - 5, 8: the first non-empty field, as text;
//  - 16: the first field that neither is empty nor starts with a comma, up
//    to its first comma. UID mode: its bytes in reverse order as uppercase
//    hexadecimal (most significant byte first); data mode: its bytes after
//    the response flags byte.
// False, with `payload` empty, for any other selector or no usable payload.
bool parseModuleAnswer(int selector, const ByteString &answer, AnswerMode mode, ByteString &payload);

// The UID within a detection payload, and the Tag-it counts: selector 5
// takes characters 2 to 9 of a payload of at least 10; selector 8 takes
// characters 4 to 11 of a payload of exactly 20, whose bytes 8 and 9 are the
// information byte and the block count. Otherwise the UID is the whole
// payload and both counts are 0. True when the UID is not empty.
bool extractTagUid(int selector, const ByteString &payload, ByteString &uid, int &tagInfoByte, int &tagBlockCount);

// Tag-it block bytes arrive shifted by two bits: characters 6 to 15 of the
// payload are five bytes b0..b4, and block byte i is the low six bits of b[i]
// followed by the top two of b[i+1]. False, with `bytes` empty, for a payload
// shorter than 16 characters or one whose digits do not decode.
bool realignTagitBlock(const ByteString &payload, ByteString &bytes);

// True when the answer holds a closed bracket field with content: the module
// heard the tag answer.
bool answerHasField(const ByteString &answer);

// True when the answer holds an ISO 15693 tag's reply (the field that the
// selector-16 parse takes) whose response flags carry the error flag, bit 0:
// what follows the flags is the tag's error code, neither block bytes nor
// the confirmation of a write.
bool isIso15693ErrorReply(const ByteString &answer);

}  // namespace reader
