// The codes under which applications see the type of a decode: a character
// value for a barcode symbology (the text engine's own type letters) and the
// family letter for an RFID tag.
#pragma once

namespace reader {

// The decode type code of a symbology number reported by the SSI engines; 0
// for a number without one.
int ssiDecodeTypeCode(int ssiNumber);

// The decode type code of a barcode result of the engine of `engineKind`:
// the SSI engines' numbers are translated, the text engine's letters (and
// anything when no engine is open) are the code already.
int decodeTypeCode(int engineKind, int resultCode);

// The tag type code of a TagType: the family letter the ASCII module opens
// its identification line with ('I', 'M', 'Z', 'S', 'T', 'V'); 0 for none.
int tagTypeCode(int tagType);

}  // namespace reader
