// Tag cycles, reads and writes against an ASCII module played by the test:
// the commands sent, the bytes returned, the blocks written.
#include <3100XE_DLL.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "api/library.h"
#include "core/channel_error.h"
#include "core/device_kind.h"
#include "core/tag_type.h"
#include "rfid/tag_cycle.h"
#include "scripted_module.h"
#include "support/hex_bytes.h"

using testing_support::Bytes;
using testing_support::hex;
using testing_support::unhex;
using Commands = std::vector<std::string>;

namespace {

Bytes repeated(std::uint8_t value, std::size_t n) { return Bytes(n, value); }

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// The module and the tag in its field: "s" reports the tag line, logins need
// the key, block commands read and write the tag's memory. `refusals` answer
// single commands in place of the tag.
class AsciiModuleTagTest : public ::testing::Test {
 protected:
  void start(const std::string &tagLine, std::size_t blockSize, int moduleVariant = 1) {
    {
      std::lock_guard lock(mutex_);
      tagLine_ = tagLine;
      for (int block = 0; block < 64; ++block) memory_[block] = repeated(static_cast<std::uint8_t>(block), blockSize);
    }
    module_ = std::make_unique<testing_support::ScriptedModule>([this](const std::string &c) { return answer(c); });
    reader::DeviceChannel &rfid = channel();
    rfid.portNumber = 2;
    rfid.kind = reader::DeviceKind::AsciiModule;
    rfid.moduleVariant = moduleVariant;
    rfid.baudRate = 57600;
    reader::library().device.rfidPresent = 1;
  }

  void refuse(const std::string &command, const std::string &answer) {
    std::lock_guard lock(mutex_);
    refusals_[command] = answer;
  }
  Bytes block(int n) {
    std::lock_guard lock(mutex_);
    return memory_[n];
  }
  Commands commands() const { return module_->commands(); }
  reader::DeviceChannel &channel() { return reader::library().device.rfid; }

  bool cycle(int start, int length, const char *key, reader::ScanResult &out) {
    return reader::rfidReadCycle(reader::library().device, start, length, reader::ByteString::fromText(key), out);
  }

 private:
  std::string answer(const std::string &command) {
    std::lock_guard lock(mutex_);
    if (auto refusal = refusals_.find(command); refusal != refusals_.end()) return refusal->second + "\r\n";
    if (command == "s") return tagLine_ + "\r\n";
    if (command[0] == 'l') return command.substr(3) == key_ ? "L\r\n" : "F\r\n";
    // rb/wb on the newer module, r/w on the older one; anything else (two
    // commands read as one on a loaded machine) the module does not know.
    const std::size_t at = command.size() > 1 && command[1] == 'b' ? 2 : 1;
    const bool block = (command[0] == 'r' || command[0] == 'w') && command.size() >= at + 2 &&
                       std::isxdigit(static_cast<unsigned char>(command[at])) &&
                       std::isxdigit(static_cast<unsigned char>(command[at + 1]));
    if (!block) return "?\r\n";
    const int n = std::stoi(command.substr(at, 2), nullptr, 16);
    if (command[0] == 'r') return hex(memory_[n]) + "\r\n";
    try {
      memory_[n] = unhex(command.substr(at + 2));
    } catch (const std::invalid_argument &) {  // not hexadecimal data
      return "?\r\n";
    }
    return command.substr(at + 2) + "\r\n";
  }

  std::mutex mutex_;
  std::string tagLine_;
  std::string key_ = "KEY";
  std::map<int, Bytes> memory_;
  std::map<std::string, std::string> refusals_;
  std::unique_ptr<testing_support::ScriptedModule> module_;
};

TEST_F(AsciiModuleTagTest, MifareReadLogsInPerSectorAndPassesOverTrailers) {
  start("M04A1B2C3", 16);
  reader::ScanResult out;
  ASSERT_TRUE(cycle(-1, 96, "KEY", out));
  EXPECT_EQ(commands(), (Commands{"s", "l01KEY", "rb04", "rb05", "rb06", "l02KEY", "rb08", "rb09", "rb0a"}));
  EXPECT_EQ(out.code, reader::TagType::MifareFamily);
  EXPECT_EQ(out.name.toString(), "ISO14443 Type A, Mifare family");
  EXPECT_EQ(out.data.toString(), "04A1B2C3");
  EXPECT_EQ(out.blockSize, 16);
  EXPECT_EQ(out.tagData.toBytes(), join({block(4), block(5), block(6), block(8), block(9), block(10)}));
  EXPECT_EQ(channel().result.get().tagData.toBytes(), out.tagData.toBytes());
  EXPECT_FALSE(channel().port.isOpen());
}

TEST_F(AsciiModuleTagTest, OlderModuleReadsByExplicitAddressWithoutKey) {
  start("M04A1B2C3", 16, 0);
  refuse("l01", "L");
  refuse("l02", "L");
  char buffer[40];
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, 112, 32, 0, nullptr), 32);
  EXPECT_EQ(commands(), (Commands{"s", "l01", "r07", "l02", "r08"}));
  EXPECT_EQ(Bytes(buffer, buffer + 32), join({block(7), block(8)}));
  EXPECT_EQ(buffer[32], 0);
}

TEST_F(AsciiModuleTagTest, ReadRfidDataCopiesByTheBufferRule) {
  start("VE004010203040506", 4);  // manufacturer 04: Philips
  char buffer[20];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, 9, -1, 4, 0, nullptr), 9);
  EXPECT_EQ(std::string(buffer, 10), std::string("E0040102\0#", 10));
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, 17, -1, 4, 0, nullptr), 16);
  EXPECT_EQ(std::string(buffer, 17), std::string("E004010203040506\0", 17));
  EXPECT_EQ(ReadRfidData(3, buffer, sizeof buffer, -1, 4, 0, nullptr), 0);
  EXPECT_EQ(GetDecodeTagType(), 'V');
  refuse("s", "N");
  EXPECT_EQ(ReadRfidData(READER_RFID_READ_UID, buffer, sizeof buffer, -1, 4, 0, nullptr), READER_ERR_RFID_READ);
}

TEST_F(AsciiModuleTagTest, FailedBlockEndsTheDataReadWithTheBytesBeforeIt) {
  start("M04A1B2C3", 16);
  refuse("rb05", "N");
  reader::ScanResult out;
  ASSERT_TRUE(cycle(-1, 48, "KEY", out));  // the tag is still reported
  EXPECT_EQ(out.tagData.toBytes(), block(4));
  EXPECT_EQ(commands().back(), "rb05");
}

TEST_F(AsciiModuleTagTest, StatusLettersAndNoiseAreNoTag) {
  start("M04A1B2C3", 16);
  reader::ScanResult stored;
  stored.data.assign("STORED");
  channel().result.set(stored);
  const std::pair<const char *, std::uint32_t> answers[] = {
      {"N", reader::ChannelError::NoTag},       {"F", reader::ChannelError::ModuleF},
      {"O", reader::ChannelError::ModuleO},     {"R", reader::ChannelError::ModuleR},
      {"?", reader::ChannelError::ModuleOther}, {"X", reader::ChannelError::ModuleOther},
      {"", reader::ChannelError::NoTag},        {"M04A1 B2!", reader::ChannelError::NoTag},
  };
  for (auto [line, error] : answers) {
    refuse("s", line);
    reader::ScanResult out;
    EXPECT_FALSE(cycle(-1, 16, "KEY", out)) << line;
    EXPECT_EQ(channel().lastError, error) << line;
  }
  EXPECT_EQ(channel().result.get().data.toString(), "STORED");
  EXPECT_FALSE(channel().port.isOpen());
}

TEST_F(AsciiModuleTagTest, BlockZeroGivesTheSizeTheFamilyAndTheRange) {
  start("S0123456789ABCDEF", 4);  // an SR176 with 4-byte blocks is an SRIX4K
  reader::ScanResult out;
  ASSERT_TRUE(cycle(-1, 8, "", out));
  EXPECT_EQ(commands(), (Commands{"s", "rb00", "rb07", "rb08"}));
  EXPECT_EQ(out.code, reader::TagType::Srix4k);
  EXPECT_EQ(out.name.toString(), "ISO14443 Type B, SRIX4K");
  EXPECT_EQ(GetDecodeTagType(), 'Z');
}

TEST_F(AsciiModuleTagTest, IcodeReadStopsAtItsLastBlock) {
  start("I0123456789ABCDEF", 4);
  reader::ScanResult out;
  ASSERT_TRUE(cycle(-1, 128, "", out));
  EXPECT_EQ(commands().back(), "rb0f");
  EXPECT_EQ(out.tagData.length(), 44u);
}

TEST_F(AsciiModuleTagTest, WriteOverlaysEachBlockAtItsAddress) {
  start("VE004010203040506", 4);
  const Bytes data = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'};
  int written = -1;
  EXPECT_EQ(WriteRfidData(data.data(), 6, 10, &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(written, 10);
  EXPECT_EQ(block(1), (Bytes{1, 1, 'a', 'b'}));
  EXPECT_EQ(block(2), (Bytes{'c', 'd', 'e', 'f'}));
  EXPECT_EQ(block(3), (Bytes{'g', 'h', 'i', 'j'}));
  EXPECT_EQ(block(4), repeated(4, 4));
  // The data is not a string: the zero byte goes too.
  const Bytes withZero = {'A', 'B', 0, 'C'};
  EXPECT_EQ(WriteRfidData(withZero.data(), 0, 3, &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(block(0), (Bytes{'A', 'B', 0, 0}));
  EXPECT_EQ(channel().result.get().data.toString(), "E004010203040506");
  // A block that reads back short has no room for its bytes at their
  // addresses: the write ends before it.
  refuse("rb05", "0102");
  EXPECT_EQ(WriteRfidData(data.data(), 16, 8, &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(written, 4);
  EXPECT_EQ(commands().back(), "rb05");
}

TEST_F(AsciiModuleTagTest, MifareWriteEndsAtAFailedBlock) {
  start("M04A1B2C3", 16);
  const Bytes data = repeated(0xEE, 40);
  refuse("wb05" + hex(repeated(0xEE, 16)), "N");
  int written = -1;
  EXPECT_EQ(WriteRfidData(data.data(), -1, 40, &written, 0, 0, "KEY"), READER_OK);
  EXPECT_EQ(written, 16);
  EXPECT_EQ(block(4), repeated(0xEE, 16));
  EXPECT_EQ(block(6), repeated(6, 16));  // not the chunk meant for block 5
  EXPECT_EQ(block(7), repeated(7, 16));

  refuse("wb04" + hex(repeated(0xEE, 16)), "N");
  EXPECT_EQ(WriteRfidData(data.data(), -1, 40, &written, 0, 0, "KEY"), READER_ERR_RFID_WRITE);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(channel().lastError, reader::ChannelError::NoTag);
  // A refused login writes nothing either.
  EXPECT_EQ(WriteRfidData(data.data(), -1, 40, &written, 0, 0, "OTHER"), READER_ERR_RFID_WRITE);
}

TEST_F(AsciiModuleTagTest, WrittenCountsOnlyTheBytesPlaced) {
  start("I0123456789ABCDEF", 4);
  const Bytes data = repeated(0xAB, 200);
  int written = -1;
  EXPECT_EQ(WriteRfidData(data.data(), -1, 64, &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(written, 44);  // blocks 5 to 15
  EXPECT_EQ(block(15), repeated(0xAB, 4));
  EXPECT_EQ(block(16), repeated(16, 4));
  EXPECT_EQ(WriteRfidData(data.data(), 0, 200, &written, 0, 0, nullptr), READER_OK);
  EXPECT_EQ(written, 64);  // 128 bytes asked, cut again after block 15
  EXPECT_EQ(WriteRfidData(data.data(), 64, 4, &written, 0, 0, nullptr), READER_ERR_RFID_WRITE);
}

TEST_F(AsciiModuleTagTest, ConcurrentReadsAndWritesTakeTurnsOnThePort) {
  start("M04A1B2C3", 16);
  const Bytes data = repeated(0x5A, 16);
  std::atomic<int> failures{0};
  auto reads = [&] {
    for (int i = 0; i < 3; ++i) {
      char buffer[17];
      if (ReadRfidData(READER_RFID_READ_DATA, buffer, sizeof buffer, 192, 16, 0, "KEY") != 16 ||
          Bytes(buffer, buffer + 16) != repeated(12, 16))
        ++failures;
    }
  };
  std::thread first(reads), second(reads);
  for (int i = 0; i < 3; ++i) {
    int written = 0;
    if (WriteRfidData(data.data(), -1, 16, &written, 0, 0, "KEY") != READER_OK || written != 16) ++failures;
  }
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
