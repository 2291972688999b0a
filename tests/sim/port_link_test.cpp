// A port that comes back: the host finds the device plugged in again under
// the same name, never at the vanished pseudo-terminal's old path.
#include "readersim/port_link.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "host_port.h"
#include "readersim/ascii_module.h"
#include "readersim/tag_text.h"
#include "readersim/terminal.h"

namespace readersim {
namespace {

using testing::HostPort;
using testing::kTimeout;

TEST(PortLink, NamesTheCurrentDeviceAndIsGoneWithItsOwner) {
  AsciiModule first;
  AsciiModule second;
  std::string path;
  {
    PortLink link(first.portPath());
    path = link.path();
    EXPECT_EQ(link.target(), first.portPath());
    {
      HostPort host(path, 9600);
      ASSERT_TRUE(first.waitForHostOpenCount(1, kTimeout));
    }
    link.retarget(second.portPath());
    EXPECT_EQ(link.target(), second.portPath());
    HostPort host(path, 9600);
    ASSERT_TRUE(second.waitForHostOpenCount(1, kTimeout));
    EXPECT_EQ(first.hostOpenCount(), 1);
  }
  struct stat info {};
  EXPECT_NE(::lstat(path.c_str(), &info), 0);
}

TEST(PortLink, AReconnectedModuleAnswersUnderTheSameNameWithItsTags) {
  TerminalConfig config;
  config.engineKind = 0;
  config.moduleKind = 5;
  config.stablePorts = true;
  config.tags.push_back(tagOf("philips:E004010203040506:00112233"));
  Terminal terminal(config);
  const std::string name = *terminal.environment()[1].value;
  EXPECT_NE(name, terminal.module()->portPath());
  {
    HostPort host(name, 9600);
    ASSERT_TRUE(host.write("v"));
    EXPECT_FALSE(host.readUntil('\n').empty());
    terminal.module()->vanish();
    EXPECT_TRUE(host.waitForHangUp());
  }
  PtyDevice &fresh = terminal.reconnectModule();
  EXPECT_EQ(terminal.module(), &fresh);
  // (The fresh terminal may well get the vanished one's path back.)
  EXPECT_EQ(*terminal.environment()[1].value, name);
  EXPECT_EQ(terminal.tags().size(), 1u);
  HostPort host(name, 9600);
  ASSERT_TRUE(host.write("s"));
  EXPECT_EQ(host.readUntil('\n').substr(1), "E004010203040506\r\n");
}

TEST(PortLink, ReconnectNeedsStablePorts) {
  TerminalConfig config;
  config.engineKind = 2;
  config.moduleKind = 0;
  Terminal terminal(config);
  EXPECT_THROW(terminal.reconnectEngine(), std::logic_error);
  EXPECT_THROW(terminal.reconnectModule(), std::logic_error);
}

}  // namespace
}  // namespace readersim
