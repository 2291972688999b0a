#include "readerd_connection.h"

namespace readerctl {

// readerd is a Linux service: a Windows readerctl owns the reader itself.
bool ReaderdConnection::connectTo(const std::string &path, std::string &error) {
  error = "cannot reach readerd at " + path + ": readerd runs on Linux only";
  return false;
}

bool ReaderdConnection::writeAll(std::string_view) { return false; }

long ReaderdConnection::readSome(char *, std::size_t, int) { return -1; }

void ReaderdConnection::closeSocket() {}

}  // namespace readerctl
