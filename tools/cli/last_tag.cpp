#include "last_tag.h"

#include <3100XE_DLL.h>

#include "whole_result.h"

namespace readerctl {

Tag lastTag() {
  Tag tag;
  tag.typeCode = GetDecodeTagType();
  tag.hexModule = (GetReaderType() & READER_TYPE_HEX_MODULE) != 0;
  tag.uid = readWhole([](char *buffer, int size) { return GetDecodeRfidUID(buffer, size); });
  tag.data = readWhole([](char *buffer, int size) { return GetDecodeRfidData(buffer, size); });
  return tag;
}

}  // namespace readerctl
