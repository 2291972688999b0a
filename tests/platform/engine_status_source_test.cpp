// The forms READER_ENGINE_STATUS takes, and those it refuses.
#include "platform/posix/engine_status_source.h"

#include <gtest/gtest.h>

#include "platform/serial_port.h"

namespace {

using reader::platform::posix::EngineStatusSource;
using reader::platform::posix::parseEngineStatusSource;
namespace modem_line = reader::platform::modem_line;

EngineStatusSource modemLine(unsigned bit, bool inverted = false) {
  EngineStatusSource source;
  source.modemLine = bit;
  source.inverted = inverted;
  return source;
}

EngineStatusSource gpio(std::string chip, std::uint32_t line, bool inverted = false) {
  EngineStatusSource source;
  source.kind = EngineStatusSource::Kind::Gpio;
  source.chipPath = std::move(chip);
  source.gpioLine = line;
  source.inverted = inverted;
  return source;
}

TEST(EngineStatusSource, ModemLinesByNameInEitherCaseAndInverted) {
  EXPECT_EQ(parseEngineStatusSource("cts"), modemLine(modem_line::kCts));
  EXPECT_EQ(parseEngineStatusSource("DSR"), modemLine(modem_line::kDsr));
  EXPECT_EQ(parseEngineStatusSource("dcd"), modemLine(modem_line::kDcd));
  EXPECT_EQ(parseEngineStatusSource("cd"), modemLine(modem_line::kDcd));
  EXPECT_EQ(parseEngineStatusSource("Ri"), modemLine(modem_line::kRing));
  EXPECT_EQ(parseEngineStatusSource("!dsr"), modemLine(modem_line::kDsr, true));
}

TEST(EngineStatusSource, GpioLinesByChipPathAndOffset) {
  EXPECT_EQ(parseEngineStatusSource("gpio:/dev/gpiochip0:17"), gpio("/dev/gpiochip0", 17));
  EXPECT_EQ(parseEngineStatusSource("!gpio:/dev/gpiochip2:0"), gpio("/dev/gpiochip2", 0, true));
  EXPECT_EQ(parseEngineStatusSource("gpio:/dev/gpiochip0:4294967295"), gpio("/dev/gpiochip0", 4294967295u));
  // The offset follows the last colon.
  EXPECT_EQ(parseEngineStatusSource("gpio:/dev/gpio/by-path/platform-a:b:5"),
            gpio("/dev/gpio/by-path/platform-a:b", 5));
}

TEST(EngineStatusSource, AnythingElseIsRefused) {
  for (const char *text : {"",
                           "!",
                           "!!cts",
                           " cts",
                           "cts ",
                           "ctsx",
                           "rts",
                           "dtr",
                           "c ts",
                           "gpio",
                           "gpio:",
                           "gpio:/dev/gpiochip0",
                           "gpio:/dev/gpiochip0:",
                           "gpio::17",
                           "gpio:17",
                           "gpio:/dev/gpiochip0:x",
                           "gpio:/dev/gpiochip0:-1",
                           "gpio:/dev/gpiochip0:+1",
                           "gpio:/dev/gpiochip0: 1",
                           "gpio:/dev/gpiochip0:4294967296",
                           "gpio:/dev/gpiochip0:99999999999",
                           "gpiochip0:17",
                           "1"})
    EXPECT_FALSE(parseEngineStatusSource(text)) << '"' << text << '"';
}

}  // namespace
