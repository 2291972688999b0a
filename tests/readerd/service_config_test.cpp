// readerd.conf: what each key takes, what is refused (with the file and
// line named, the default kept), and the library's own settings passed on.
#include "service_config.h"

#include <gtest/gtest.h>

namespace {

using readerd::parseServiceConfig;

TEST(ReaderdConfigTest, EveryKeyAndTheLibrarysSettings) {
  const readerd::ServiceConfigLoad load = parseServiceConfig(
      "# the service\n"
      "SOCKET=/run/readerd/r.sock\n"
      "SOCKET_GROUP=reader\n"
      "SOCKET_MODE=0600\n"
      "CONTROL_GROUP=reader-admin\n"
      "TCP_PORT=7744\n"
      "QUEUE_LIMIT=256\n"
      "RESTART_MAX_DELAY=5\n"
      "READER_COM1=/dev/ttymxc1\n"
      "READER_SERIAL_NUMBER=\"  spaced  \"\n",
      "readerd.conf");
  EXPECT_TRUE(load.problems.empty()) << load.problems.front();
  const readerd::ServiceConfig &config = load.config;
  EXPECT_EQ(config.socketPath, "/run/readerd/r.sock");
  EXPECT_EQ(config.socketGroup, "reader");
  EXPECT_EQ(config.socketMode, 0600u);
  EXPECT_EQ(config.controlGroup, "reader-admin");
  EXPECT_EQ(config.tcpPort, 7744);
  EXPECT_EQ(config.queueLimit, 256u);
  EXPECT_EQ(config.restartMaxDelaySeconds, 5);
  EXPECT_EQ(config.readerEnvironment.at("READER_COM1"), "/dev/ttymxc1");
  EXPECT_EQ(config.readerEnvironment.at("READER_SERIAL_NUMBER"), "  spaced  ");
}

TEST(ReaderdConfigTest, RefusedLinesAreNamedAndTheDefaultsKept) {
  const readerd::ServiceConfigLoad load = parseServiceConfig(
      "SOCKET=relative.sock\nSOCKET_MODE=0999\nTCP_PORT=70000\nQUEUE_LIMIT=3\nRESTART_MAX_DELAY=0\n"
      "COLOUR=blue\nno equals here\nlower=case\n",
      "/etc/readerd.conf");
  ASSERT_EQ(load.problems.size(), 8u);
  EXPECT_EQ(load.problems[0].rfind("/etc/readerd.conf:1: SOCKET must be an absolute path", 0), 0u);
  EXPECT_NE(load.problems[5].find(":6: unknown key COLOUR"), std::string::npos) << load.problems[5];
  EXPECT_NE(load.problems[6].find(":7: not KEY=VALUE"), std::string::npos) << load.problems[6];
  EXPECT_EQ(load.config, readerd::ServiceConfig{});
}

TEST(ReaderdConfigTest, AMissingFileIsTheDefaultsWithoutAProblem) {
  const readerd::ServiceConfigLoad load = readerd::loadServiceConfig("/nonexistent/readerd.conf");
  EXPECT_FALSE(load.found);
  EXPECT_TRUE(load.problems.empty());
  EXPECT_EQ(load.config, readerd::ServiceConfig{});
}

}  // namespace
