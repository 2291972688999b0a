// Names for the decode type codes GetDecodeType returns, from the library's
// symbology tables. The text engine reports its own letters; the SSI
// engines' symbology numbers are translated to letters, several of them only
// ever coming from the SSI engines. Where a letter means slightly different
// things on the two, each has its name.
#pragma once

namespace readerctl {

// The symbology name of `code` as reported by the fitted engine: the text
// engine when `textEngine`, else an SSI engine. nullptr for a code that
// engine never reports (0 included).
const char *decodeTypeName(int code, bool textEngine);

}  // namespace readerctl
