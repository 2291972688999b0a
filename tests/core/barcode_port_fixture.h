// A test whose barcode channel is open on a bare pseudo-terminal that the
// test itself feeds and reads.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "api/library.h"
#include "core/serial_channel.h"
#include "support/raw_pty.h"

namespace testing_support {

class BarcodePortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pty_ = std::make_unique<RawPty>(1);
    channel().portNumber = 1;
    ASSERT_TRUE(reader::openPort(channel()));
  }
  void TearDown() override { reader::closePort(channel()); }

  reader::DeviceChannel &channel() { return reader::library().device.barcode; }

  std::unique_ptr<RawPty> pty_;
};

}  // namespace testing_support
