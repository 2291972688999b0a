// The tag line of the ASCII module as the tag cycle takes it: a line that
// names a family and carries a hexadecimal UID is a tag, and nothing else
// is, however close it comes.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

#include "api/library.h"
#include "core/channel_error.h"
#include "core/device_kind.h"
#include "core/tag_type.h"
#include "rfid/tag_cycle.h"
#include "scripted_module.h"

namespace {

// A module whose tag line ("s") is set by the test; reads of block 0 give a
// 4-byte block so the cycle can size the tag.
class AsciiModuleTagLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = std::make_unique<testing_support::ScriptedModule>([this](const std::string &command) {
      std::lock_guard lock(mutex_);
      if (command == "s") return line_ + "\r\n";
      if (command.rfind("rb", 0) == 0) return std::string("00112233\r\n");
      return std::string("?\r\n");
    });
    reader::DeviceChannel &rfid = channel();
    rfid.portNumber = 2;
    rfid.kind = reader::DeviceKind::AsciiModule;
    rfid.moduleVariant = 1;
    rfid.baudRate = 57600;
    reader::library().device.rfidPresent = 1;
  }
  void TearDown() override { reader::closeDevice(reader::library().device, reader::kRfidDevice); }

  reader::DeviceChannel &channel() { return reader::library().device.rfid; }
  bool cycleWith(const std::string &line, reader::ScanResult &out) {
    {
      std::lock_guard lock(mutex_);
      line_ = line;
    }
    return reader::rfidReadCycle(reader::library().device, 0, 4, reader::ByteString(), out);
  }

 private:
  std::mutex mutex_;
  std::string line_;
  std::unique_ptr<testing_support::ScriptedModule> module_;
};

// An ISO 15693 line needs the maker's code at characters 3 and 4; a shorter
// one used to be reported as a tag of no family whose UID kept the 'V'.
TEST_F(AsciiModuleTagLineTest, Iso15693LineTooShortForItsMakerIsNoTag) {
  for (const char *line : {"VE", "VE5", "VE00"}) {
    reader::ScanResult out;
    EXPECT_FALSE(cycleWith(line, out)) << line;
    EXPECT_EQ(channel().lastError, reader::ChannelError::NoTag) << line;
  }
  reader::ScanResult tag;
  ASSERT_TRUE(cycleWith("VE00401A2B3C4D5E6", tag));
  EXPECT_EQ(tag.code, reader::TagType::Iso15693Philips);
  EXPECT_EQ(tag.data.toString(), "E00401A2B3C4D5E6");
  EXPECT_EQ(tag.tagData.length(), 4u);
}

}  // namespace
