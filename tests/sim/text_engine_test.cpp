// The barcode engine of kind 2: ESC-framed text commands after a preamble.
#include "readersim/text_engine.h"

#include <gtest/gtest.h>

#include "host_port.h"
#include "readersim/hex_text.h"

namespace readersim {
namespace {

std::string reply(std::string_view text) { return "\x1B" + std::string(text) + "\r"; }

TEST(TextEngine, AnswersVerAndSetAndSaveReplacesTheBlockOnlyWhenWellFormed) {
  TextEngine engine;
  testing::HostPort host(engine.portPath(), 115200);
  auto send = [&](std::string_view command) {
    EXPECT_TRUE(host.write(std::string(30, '\xFF') + "\x1B" + std::string(command) + "\r"));
  };
  auto exchange = [&](std::string_view command) {
    send(command);
    return host.readUntil('\r');
  };
  EXPECT_EQ(toHexText(std::vector<std::uint8_t>{0xAB, 0x0F}), "AB0F");  // what the host parses
  EXPECT_EQ(exchange("SET"), reply(toHexText(TextEngine::defaultBlock())));
  std::vector<std::uint8_t> changed = engine.block();
  changed[9] ^= 0xA2;
  EXPECT_EQ(exchange("SAVE" + toHexText(changed)), reply("OK"));
  EXPECT_EQ(exchange("SET"), reply(toHexText(changed)));

  std::vector<std::uint8_t> shorter(changed.begin(), changed.end() - 1);
  EXPECT_EQ(exchange("SAVE" + toHexText(shorter)), reply("NG"));
  EXPECT_EQ(exchange("SAVE" + toHexText(changed).replace(0, 1, "G")), reply("NG"));
  EXPECT_EQ(exchange("SAVE" + toHexText(changed) + "0"), reply("NG"));
  EXPECT_EQ(exchange("XYZ"), reply("NG"));
  send("ON");  // ON and OFF are never answered
  send("OFF");
  EXPECT_EQ(exchange("VER"), reply("TE2 V3.10"));
  engine.refuseNext(1);
  EXPECT_EQ(exchange("SET"), reply("NG"));
  EXPECT_EQ(engine.block(), changed);
}

}  // namespace
}  // namespace readersim
