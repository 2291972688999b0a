// A test whose barcode channel is open on a bare pseudo-terminal that the
// test itself feeds and reads.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>

#include "api/library.h"
#include "core/port_lock.h"
#include "core/serial_channel.h"
#include "support/raw_pty.h"

namespace testing_support {

class BarcodePortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pty_ = std::make_unique<RawPty>(1);
    channel().portNumber = 1;
    ASSERT_TRUE(reader::openPort(port()));
  }
  void TearDown() override {
    reader::closePort(port());
    lock_.reset();
  }

  reader::DeviceChannel &channel() { return reader::library().device.barcode; }
  // The test is the channel's one user: it holds the port lock throughout.
  const reader::PortLock &port() {
    if (!lock_) lock_.emplace(std::move(*reader::PortLock::take(channel())));
    return *lock_;
  }

  std::unique_ptr<RawPty> pty_;
  std::optional<reader::PortLock> lock_;
};

}  // namespace testing_support
