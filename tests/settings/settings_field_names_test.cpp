// The names `readerctl settings` gives the record's fields: one field for
// every byte in use, one name for every field, every name taken before still
// taken for the same byte, and a former name and the new one sending the
// engine the same bytes.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "settings_cli_run.h"
#include "settings_command.h"
#include "settings_fields.h"
#include "settings_terminal.h"

namespace settings_testing {
namespace {

using readerctl::findSettingsField;
using readerctl::SettingsField;
using readerctl::settingsFields;

// Every name readerctl took before the fields had descriptive names, with the
// byte it named: commands written then must keep working.
struct OldName {
  const char *name;
  int offset;
};

struct OldSsiName {
  const char *name;    // without the section prefix
  int variant4Offset;  // 0: not in that section
  int variant3Offset;
};

// clang-format off
constexpr OldName kOldTextEngineNames[] = {
    {"k2.group1.p1", 1}, {"k2.group1.p5", 2}, {"k2.group1.p2", 3}, {"k2.group1.p3", 4}, {"k2.group1.p4", 5},
    {"k2.group6.p1", 6}, {"k2.group6.p3", 7}, {"k2.group6.p2", 8}, {"k2.group6.p4", 9}, {"k2.group10.p1", 10},
    {"k2.group10.p4", 11}, {"k2.group10.p2", 12}, {"k2.group10.p3", 13}, {"k2.group10.p5", 14},
    {"k2.group10.p6", 15}, {"k2.group10.p7", 16}, {"k2.group17.p1", 17}, {"k2.group17.p4", 18},
    {"k2.group17.p2", 19}, {"k2.group17.p3", 20}, {"k2.group17.p5", 21}, {"k2.group17.p6", 22},
    {"k2.group17.p7", 23}, {"k2.group24.p1", 24}, {"k2.group24.p4", 25}, {"k2.group24.p2", 26},
    {"k2.group24.p3", 27}, {"k2.group24.p5", 28}, {"k2.group24.p6", 29}, {"k2.group24.p7", 30},
    {"k2.group31.p1", 31}, {"k2.group31.p2_p3", 32}, {"k2.group33.p1", 33}, {"k2.group33.p2", 34},
    {"k2.group33.p3", 35}, {"k2.group33.p4", 36}, {"k2.group33.p5", 37}, {"k2.group33.p6", 38},
    {"k2.group39.p1", 39}, {"k2.group39.p3", 40}, {"k2.group39.p2", 41}, {"k2.group42.p1", 42},
    {"k2.group42.p5", 43}, {"k2.group42.p7", 44}, {"k2.group42.p6", 45}, {"k2.group42.p2", 46},
    {"k2.group42.p3", 47}, {"k2.group48.p1", 48}, {"k2.group48.p4", 49}, {"k2.group48.p2", 50},
    {"k2.group48.p3", 51}, {"k2.group48.p5", 52}, {"k2.upc_ean.p1", 53}, {"k2.upc_ean.p4", 54},
    {"k2.upc_ean.p5", 55}, {"k2.upc_ean.send_ean13_check_digit", 56}, {"k2.upc_ean.p2", 57},
    {"k2.upc_ean.p3", 58}, {"k2.upc_ean.p9", 59}, {"k2.upc_ean.send_upca_check_digit", 60},
    {"k2.upc_ean.upca_as_ean13", 61}, {"k2.group62.p1", 62}, {"k2.group62.p2", 63}, {"k2.group64.p3", 64},
    {"k2.group64.p6", 65}, {"k2.group64.p5", 66}, {"k2.group64.p4", 67}, {"k2.group64.p1", 68},
    {"k2.group64.p9", 69}, {"k2.group64.p8", 70}, {"k2.group64.p7", 71}, {"k2.group64.p2", 72},
    {"k2.group64.p10", 73}, {"k2.group74.p1", 74}, {"k2.code128", 75}, {"k2.ean128", 76},
    {"k2.trigger_mode", 78}, {"k2.scan_time", 79}, {"k2.scan.p2", 80}, {"k2.group81.p1", 81},
    {"k2.group82.p1", 82},
};
// clang-format on

// clang-format off
constexpr OldSsiName kOldSsiNames[] = {
    {"upc.upca", 101, 191}, {"upc.upce", 102, 192}, {"upc.upce1", 103, 193}, {"ean.ean8", 104, 194},
    {"ean.ean13", 105, 195}, {"ean.bookland", 106, 196}, {"param_10", 107, 197}, {"param_50", 108, 198},
    {"param_28", 109, 199}, {"param_29", 110, 200}, {"param_2A", 111, 201}, {"param_22", 112, 202},
    {"param_23", 113, 203}, {"param_24", 114, 204}, {"param_25", 115, 205}, {"param_26", 116, 206},
    {"param_27", 117, 207}, {"param_55", 118, 208}, {"param_44", 0, 209}, {"code128.enable", 120, 210},
    {"code128.ean128", 121, 211}, {"code128.isbt128", 122, 212}, {"code39.enable", 123, 213},
    {"code39.trioptic", 124, 214}, {"code39.code32", 125, 215}, {"param_E7", 126, 216},
    {"code39.length_mode", 127, 217}, {"code39.length1", 128, 218}, {"code39.length2", 129, 219},
    {"param_30", 130, 220}, {"param_2B", 131, 221}, {"code39.full_ascii", 132, 222}, {"code93.enable", 133, 223},
    {"code93.length_mode", 134, 224}, {"code93.length1", 135, 225}, {"code93.length2", 136, 226},
    {"code11.enable", 0, 227}, {"code11.length_mode", 0, 228}, {"code11.length1", 0, 229},
    {"code11.length2", 0, 230}, {"param_34", 0, 231}, {"param_2F", 0, 232}, {"i2of5.enable", 137, 233},
    {"i2of5.length_mode", 138, 234}, {"i2of5.length1", 139, 235}, {"i2of5.length2", 140, 236},
    {"param_31", 141, 237}, {"param_2C", 142, 238}, {"param_52", 143, 239}, {"d2of5.enable", 144, 240},
    {"d2of5.length_mode", 145, 241}, {"d2of5.length1", 146, 242}, {"d2of5.length2", 147, 243},
    {"codabar.enable", 148, 244}, {"codabar.length_mode", 149, 245}, {"codabar.length1", 150, 246},
    {"codabar.length2", 151, 247}, {"param_36", 152, 248}, {"param_37", 153, 249}, {"msi.enable", 154, 250},
    {"msi.length_mode", 155, 251}, {"msi.length1", 156, 252}, {"msi.length2", 157, 253}, {"param_32", 158, 254},
    {"param_2E", 159, 255}, {"param_33", 160, 256}, {"postal.us_postnet", 0, 257}, {"postal.us_planet", 0, 258},
    {"postal.uk", 0, 259}, {"param_60", 0, 260}, {"postal.japan", 0, 261}, {"postal.australian", 0, 262},
    {"postal.dutch", 0, 263}, {"param_5F", 0, 264}, {"rss.rss14", 161, 265}, {"rss.limited", 162, 266},
    {"rss.expanded", 163, 267}, {"param_F0_8D", 164, 268}, {"param_F0_55", 0, 269}, {"param_F0_56", 0, 270},
    {"composite.tlc39", 0, 271}, {"param_F0_58", 0, 272}, {"param_F0_AB", 0, 273}, {"2d.pdf417", 0, 274},
    {"2d.micro_pdf", 0, 275}, {"param_7B", 0, 276}, {"2d.data_matrix", 0, 277}, {"2d.maxicode", 0, 278},
    {"2d.qr_code", 0, 279}, {"param_BC", 0, 280}, {"param_B8", 0, 281}, {"param_E9", 0, 282},
    {"scan_time", 165, 283}, {"param_89", 166, 284}, {"aim_time", 167, 0}, {"param_F0_29", 0, 285},
    {"param_F0_2A", 0, 286}, {"param_F0_32", 0, 287}, {"param_F0_A6", 0, 288}, {"param_F0_AD", 0, 289},
    {"param_2D", 168, 290},
};
// clang-format on

// clang-format off
constexpr OldName kOldOptionNames[] = {
    {"device_mask", 0}, {"rfid_output_uid", 311}, {"rfid_output_data", 312}, {"rfid_data_separator", 314},
    {"auto_read_start", 318}, {"auto_read_length", 319}, {"auto_read_key", 321}, {"good_read_sound", 342},
    {"spare_option", 343}, {"vibrate_time", 345}, {"keyboard_output", 346}, {"terminator_position", 347},
    {"terminator_char", 348}, {"prefix", 349}, {"suffix", 360}, {"output_type_code", 371},
    {"output_length", 372}, {"good_read_signal_time", 373}, {"good_read_indicator_time", 374},
    {"good_read_indicator_mode", 375},
};
// clang-format on

// The names that gave way to descriptive ones.
const std::map<std::string, std::string> kRenamed = {
    {"k2.upc_ean.p9", "k2.upc_ean.send_upca_system_digit"},
};

struct OldField {
  std::string name;
  int offset;
  int section;
};

std::vector<OldField> oldFields() {
  std::vector<OldField> all;
  for (const OldName &n : kOldOptionNames) all.push_back({n.name, n.offset, 0});
  for (const OldName &n : kOldTextEngineNames) all.push_back({n.name, n.offset, 2});
  for (const OldSsiName &n : kOldSsiNames) {
    if (n.variant4Offset != 0) all.push_back({std::string("k4.") + n.name, n.variant4Offset, 4});
    if (n.variant3Offset != 0) all.push_back({std::string("k3.") + n.name, n.variant3Offset, 3});
  }
  return all;
}

// The record bytes that hold a field of their own: byte 0, the text engine's
// 1 to 82 but 77, the kind-4 section but its unused byte 119, the whole
// kind-3 section, and the options (byte 344 goes with vibrate_time).
std::set<int> bytesInUse() {
  std::set<int> bytes = {0,   311, 312, 314, 318, 319, 321, 342, 343, 345,
                         346, 347, 348, 349, 360, 371, 372, 373, 374, 375};
  for (int b = 1; b <= 82; ++b)
    if (b != 77) bytes.insert(b);
  for (int b = 101; b <= 168; ++b)
    if (b != 119) bytes.insert(b);
  for (int b = 191; b <= 290; ++b) bytes.insert(b);
  return bytes;
}

int sectionOfByte(int offset) {
  if (offset >= 1 && offset <= 82) return 2;
  if (offset >= 101 && offset <= 168) return 4;
  if (offset >= 191 && offset <= 290) return 3;
  return 0;
}

bool wellFormed(const std::string &name) {
  if (name.empty() || name.front() == '.' || name.back() == '.' || name.find("..") != std::string::npos) return false;
  // Upper case only for the hexadecimal digits of an SSI parameter number.
  const bool hexNumber = name.find("param_") != std::string::npos;
  return std::all_of(name.begin(), name.end(), [hexNumber](char c) {
    return std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_' ||
           c == '.' || (hexNumber && c >= 'A' && c <= 'F');
  });
}

TEST(SettingsFieldNames, EveryByteInUseIsOneFieldWithOneNameInItsSection) {
  std::multiset<int> offsets;
  for (const SettingsField &f : settingsFields()) {
    offsets.insert(f.offset);
    EXPECT_EQ(f.section, sectionOfByte(f.offset)) << f.name;
    const std::string prefix = "k" + std::to_string(f.section) + ".";
    if (f.section != 0) {
      EXPECT_EQ(f.name.rfind(prefix, 0), 0u) << f.name;
      if (!f.alias.empty()) {
        EXPECT_EQ(f.alias.rfind(prefix, 0), 0u) << f.alias;
      }
    } else {
      EXPECT_FALSE(f.name.size() > 2 && f.name[0] == 'k' && f.name[2] == '.') << f.name;
    }
  }
  EXPECT_EQ(std::set<int>(offsets.begin(), offsets.end()), bytesInUse());
  for (int offset : bytesInUse()) EXPECT_EQ(offsets.count(offset), 1u) << "record byte " << offset;
}

// A name read from NAME=VALUE or from a JSON key must find one field: names
// and aliases are distinct, hold no '=' or quote, and no name is also the
// dotted head of another ("k2.code128" beside "k2.code128.x" would read as
// both a field and a group of fields).
TEST(SettingsFieldNames, NamesAndAliasesAreDistinctWellFormedAndFindTheirOwnField) {
  std::map<std::string, const SettingsField *> all;
  for (const SettingsField &f : settingsFields()) {
    EXPECT_TRUE(all.emplace(f.name, &f).second) << "twice: " << f.name;
    if (!f.alias.empty()) {
      EXPECT_TRUE(all.emplace(f.alias, &f).second) << "twice: " << f.alias;
    }
  }
  for (const auto &[name, field] : all) {
    EXPECT_TRUE(wellFormed(name)) << name;
    EXPECT_EQ(findSettingsField(name), field) << name;
    const auto next = all.upper_bound(name + ".");
    EXPECT_TRUE(next == all.end() || next->first.rfind(name + ".", 0) != 0) << name << " and " << next->first;
  }
}

TEST(SettingsFieldNames, EveryNameTakenBeforeStillNamesTheSameByteAndOnlyTheRenamedOnesAreAliases) {
  std::map<std::string, std::string> renamed;
  std::set<std::string> oldNames;
  for (const OldField &old : oldFields()) {
    oldNames.insert(old.name);
    const SettingsField *f = findSettingsField(old.name);
    ASSERT_NE(f, nullptr) << old.name;
    EXPECT_EQ(f->offset, old.offset) << old.name;
    EXPECT_EQ(f->section, old.section) << old.name;
    if (f->name != old.name) {
      renamed[old.name] = f->name;
      EXPECT_EQ(f->alias, old.name);
    }
  }
  EXPECT_EQ(renamed, kRenamed);
  EXPECT_EQ(oldNames.size(), settingsFields().size());
  for (const SettingsField &f : settingsFields()) {
    if (!f.alias.empty()) {
      EXPECT_EQ(oldNames.count(f.alias), 1u) << f.alias;
    }
    // A name not taken before is a renamed field's.
    if (oldNames.count(f.name) == 0) {
      EXPECT_EQ(kRenamed.count(f.alias), 1u) << f.name;
    }
  }
}

TEST(SettingsFieldNames, GetShowsTheNewNamesOnlyAsTextAndAsJson) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  const CliRun plain = settings({"get"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  const CliRun json = settings({"get", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  for (const auto &[old, now] : kRenamed) {
    EXPECT_TRUE(has(plain.out, now + "=1\n")) << now;  // the simulated engine's factory value
    EXPECT_TRUE(has(json.out, "\"" + now + "\": 1")) << now;
    EXPECT_FALSE(has(plain.out, old + "=")) << old;
    EXPECT_FALSE(has(json.out, "\"" + old + "\"")) << old;
  }
}

// The SAVE frames carry the whole block, so equal frames mean the same
// setting landed in the same bits.
TEST(SettingsFieldNames, AFormerNameAndTheNewOneSendTheEngineTheSameBytes) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  // Trigger mode 0 first: the factory mode 1, written back, would start the
  // self-triggered loop and its traffic.
  ASSERT_EQ(settings({"set", "k2.trigger_mode=0"}).status, 0);
  ASSERT_EQ(t.textEngine().block()[10] & 0x01, 0x01);

  TrafficSince throughAlias(t.textEngine());
  const CliRun alias = settings({"set", "k2.upc_ean.p9=0"});
  ASSERT_EQ(alias.status, 0) << alias.err;
  EXPECT_EQ(alias.out, "k2.upc_ean.send_upca_system_digit=0\n");
  const auto aliasFrames = throughAlias.frames();
  EXPECT_EQ(t.textEngine().block()[10] & 0x01, 0x00);

  ASSERT_EQ(settings({"set", "k2.upc_ean.send_upca_system_digit=1"}).status, 0);
  ASSERT_EQ(t.textEngine().block()[10] & 0x01, 0x01);

  TrafficSince throughName(t.textEngine());
  const CliRun named = settings({"set", "k2.upc_ean.send_upca_system_digit=0"});
  ASSERT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(named.out, alias.out);
  EXPECT_EQ(throughName.frames(), aliasFrames);
  // The UPC/EAN group's own SAVE beside the two that are always sent.
  EXPECT_EQ(aliasFrames.size(), 3u);

  // A positional name that stays: parameter 6 of group 10, block byte 12
  // bits 0 to 6, its bit 7 (parameter 5) untouched.
  const std::uint8_t bit7 = t.textEngine().block()[12] & 0x80;
  const CliRun positional = settings({"set", "k2.group10.p6=1"});
  ASSERT_EQ(positional.status, 0) << positional.err;
  EXPECT_EQ(positional.out, "k2.group10.p6=1\n");
  EXPECT_EQ(t.textEngine().block()[12], bit7 | 0x01);
}

TEST(SettingsFieldNames, NearMissesOfANameAreUsageErrorsAndNothingIsSentOrKept) {
  SimulatedTerminal t(2);
  ASSERT_EQ(InitReader(), 1);
  TrafficSince traffic(t.textEngine());
  for (const std::string name :
       {"k2.upc_ean.p10", "k2.UPC_EAN.P9", "k2.upc_ean", "k2.upc_ean.send_upca", "k2.upc_ean.send_upca_system_digit.x",
        "upc_ean.send_upca_system_digit", "upc_ean.p9", "k3.upc_ean.p9", "k2.group10.p6 ", "k2.param_E7"}) {
    const CliRun run = settings({"set", "good_read_sound=7", name + "=1"});
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_TRUE(has(run.err, "unknown field '" + name + "'")) << run.err;
  }
  EXPECT_TRUE(traffic.frames().empty());
  EXPECT_TRUE(has(settings({"get"}).out, "good_read_sound=1\n"));
}

}  // namespace
}  // namespace settings_testing
