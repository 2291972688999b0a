#include "result_text.h"

#include <3100XE_DLL.h>

namespace readerctl {

std::string describeResult(int code) {
  switch (code) {
    case READER_OK: return "success";
    case READER_ERR_ALREADY_STARTED: return "the reader is already started (a device port is open)";
    case READER_ERR_NO_DEVICE: return "neither a barcode engine nor an RFID module is present";
    case READER_ERR_START_FAILED: return "no device could be opened";
    case READER_ERR_BARCODE_FAILED: return "the barcode engine failed (fitted but not answering, or not set up)";
    case READER_ERR_RFID_FAILED: return "the RFID module failed (fitted but not answering, or not set up)";
    case READER_ERR_SETTINGS: return "the settings record is missing or could not be read";
    case READER_ERR_NO_BARCODE: return "no barcode engine is fitted";
    case READER_ERR_NO_RFID: return "no RFID module is fitted";
    case READER_ERR_BAD_BUFFER: return "no buffer, or a buffer size below 1";
    default: return "unknown result";
  }
}

}  // namespace readerctl
