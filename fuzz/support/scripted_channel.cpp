#include "support/scripted_channel.h"

namespace readerfuzz {

reader::ReaderDevice &fuzzDevice() {
  static reader::ReaderDevice device;
  return device;
}

std::shared_ptr<ScriptedSerialPort> attachScript(reader::DeviceChannel &channel, int kind, const std::uint8_t *script,
                                                 std::size_t size) {
  channel.upcAAsEan13 = 0;
  channel.sendEan13CheckDigit = 0;
  channel.sendUpcACheckDigit = 0;
  reader::resetChannel(channel);
  channel.configBlock.reset();
  channel.framesRead = 0;
  channel.unansweredExchanges = 0;
  channel.portNumber = &channel == &fuzzDevice().barcode ? 1 : 2;
  channel.kind = kind;
  auto port = std::make_shared<ScriptedSerialPort>(script, size);
  channel.port.set(port);
  return port;
}

void detachScript(reader::DeviceChannel &channel) {
  channel.port.take();
  channel.configBlock.reset();
  reader::resetChannel(channel);
}

}  // namespace readerfuzz
