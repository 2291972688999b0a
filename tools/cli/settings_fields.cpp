#include "settings_fields.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace readerctl {

namespace {

struct TextEngineEntry {
  const char *name;
  int offset;
  FieldKind kind;
  const char *alias = nullptr;  // the positional name it had before
};

constexpr FieldKind F = FieldKind::Flag;
constexpr FieldKind B = FieldKind::Byte;
constexpr FieldKind B2 = FieldKind::Bits2;
constexpr FieldKind B7 = FieldKind::Bits7;
constexpr FieldKind LM = FieldKind::LengthMode;

// Groups and parameters of the text engine. Where the library itself acts on
// a field (the trigger mode, the scan time, the Code 128 and EAN-128
// switches, how UPC-A and EAN-13 results are trimmed), the field is named
// after that; the others keep their group (named after its first byte in the
// record) and parameter number, their effect being the engine's business.
constexpr TextEngineEntry kTextEngine[] = {
    {"group1.p1", 1, F},   {"group1.p5", 2, F},    {"group1.p2", 3, F},   {"group1.p3", 4, F},
    {"group1.p4", 5, F},   {"group6.p1", 6, F},    {"group6.p3", 7, F},   {"group6.p2", 8, F},
    {"group6.p4", 9, F},   {"group10.p1", 10, F},  {"group10.p4", 11, B2}, {"group10.p2", 12, F},
    {"group10.p3", 13, F}, {"group10.p5", 14, F},  {"group10.p6", 15, B7}, {"group10.p7", 16, B},
    {"group17.p1", 17, F}, {"group17.p4", 18, B2}, {"group17.p2", 19, F},  {"group17.p3", 20, F},
    {"group17.p5", 21, F}, {"group17.p6", 22, B7}, {"group17.p7", 23, B},  {"group24.p1", 24, F},
    {"group24.p4", 25, B2}, {"group24.p2", 26, F},  {"group24.p3", 27, F},  {"group24.p5", 28, F},
    {"group24.p6", 29, B7}, {"group24.p7", 30, B},  {"group31.p1", 31, F},
    {"group31.p2_p3", 32, FieldKind::OnWithValue},
    {"group33.p1", 33, F}, {"group33.p2", 34, B2}, {"group33.p3", 35, B2}, {"group33.p4", 36, F},
    {"group33.p5", 37, B7}, {"group33.p6", 38, B},  {"group39.p1", 39, F},  {"group39.p3", 40, F},
    {"group39.p2", 41, F}, {"group42.p1", 42, F},  {"group42.p5", 43, F},  {"group42.p7", 44, F},
    {"group42.p6", 45, F}, {"group42.p2", 46, F},  {"group42.p3", 47, F},  {"group48.p1", 48, F},
    {"group48.p4", 49, F}, {"group48.p2", 50, F},  {"group48.p3", 51, F},  {"group48.p5", 52, F},
    {"upc_ean.p1", 53, F}, {"upc_ean.p4", 54, F},  {"upc_ean.p5", 55, F},
    {"upc_ean.send_ean13_check_digit", 56, F},     {"upc_ean.p2", 57, F},  {"upc_ean.p3", 58, F},
    {"upc_ean.send_upca_system_digit", 59, F, "upc_ean.p9"},  // UPC-A results keep their first digit
    {"upc_ean.send_upca_check_digit", 60, F},
    {"upc_ean.upca_as_ean13", 61, F},              {"group62.p1", 62, F},  {"group62.p2", 63, F},
    {"group64.p3", 64, F}, {"group64.p6", 65, F},  {"group64.p5", 66, F},  {"group64.p4", 67, F},
    {"group64.p1", 68, F}, {"group64.p9", 69, F},  {"group64.p8", 70, F},  {"group64.p7", 71, F},
    {"group64.p2", 72, F}, {"group64.p10", 73, F}, {"group74.p1", 74, F},  {"code128", 75, F},
    {"ean128", 76, F},     {"trigger_mode", 78, FieldKind::Bits4},         {"scan_time", 79, B},
    {"scan.p2", 80, B2},   {"group81.p1", 81, F},  {"group82.p1", 82, F},
};

// The two SSI sections share their names; 0 where a section lacks the field.
// "param_XX" is the SSI parameter number (F0_XX an extended one) of a
// parameter the library passes through without knowing its effect.
struct SsiEntry {
  const char *name;
  int variant4Offset;
  int variant3Offset;
  FieldKind kind;
};

constexpr SsiEntry kSsi[] = {
    {"upc.upca", 101, 191, F},         {"upc.upce", 102, 192, F},         {"upc.upce1", 103, 193, F},
    {"ean.ean8", 104, 194, F},         {"ean.ean13", 105, 195, F},        {"ean.bookland", 106, 196, F},
    {"param_10", 107, 197, B},         {"param_50", 108, 198, B},         {"param_28", 109, 199, F},
    {"param_29", 110, 200, F},         {"param_2A", 111, 201, F},         {"param_22", 112, 202, B},
    {"param_23", 113, 203, B},         {"param_24", 114, 204, B},         {"param_25", 115, 205, F},
    {"param_26", 116, 206, F},         {"param_27", 117, 207, F},         {"param_55", 118, 208, F},
    {"param_44", 0, 209, F},           {"code128.enable", 120, 210, F},   {"code128.ean128", 121, 211, F},
    {"code128.isbt128", 122, 212, F},  {"code39.enable", 123, 213, F},    {"code39.trioptic", 124, 214, F},
    {"code39.code32", 125, 215, F},    {"param_E7", 126, 216, F},         {"code39.length_mode", 127, 217, LM},
    {"code39.length1", 128, 218, B},   {"code39.length2", 129, 219, B},   {"param_30", 130, 220, F},
    {"param_2B", 131, 221, F},         {"code39.full_ascii", 132, 222, F}, {"code93.enable", 133, 223, F},
    {"code93.length_mode", 134, 224, LM}, {"code93.length1", 135, 225, B}, {"code93.length2", 136, 226, B},
    {"code11.enable", 0, 227, F},      {"code11.length_mode", 0, 228, LM}, {"code11.length1", 0, 229, B},
    {"code11.length2", 0, 230, B},     {"param_34", 0, 231, B},           {"param_2F", 0, 232, F},
    {"i2of5.enable", 137, 233, F},     {"i2of5.length_mode", 138, 234, LM}, {"i2of5.length1", 139, 235, B},
    {"i2of5.length2", 140, 236, B},    {"param_31", 141, 237, B},         {"param_2C", 142, 238, F},
    {"param_52", 143, 239, F},         {"d2of5.enable", 144, 240, F},     {"d2of5.length_mode", 145, 241, LM},
    {"d2of5.length1", 146, 242, B},    {"d2of5.length2", 147, 243, B},    {"codabar.enable", 148, 244, F},
    {"codabar.length_mode", 149, 245, LM}, {"codabar.length1", 150, 246, B}, {"codabar.length2", 151, 247, B},
    {"param_36", 152, 248, F},         {"param_37", 153, 249, F},         {"msi.enable", 154, 250, F},
    {"msi.length_mode", 155, 251, LM}, {"msi.length1", 156, 252, B},      {"msi.length2", 157, 253, B},
    {"param_32", 158, 254, F},         {"param_2E", 159, 255, F},         {"param_33", 160, 256, B},
    {"postal.us_postnet", 0, 257, F},  {"postal.us_planet", 0, 258, F},   {"postal.uk", 0, 259, F},
    {"param_60", 0, 260, F},           {"postal.japan", 0, 261, F},       {"postal.australian", 0, 262, F},
    {"postal.dutch", 0, 263, F},       {"param_5F", 0, 264, F},           {"rss.rss14", 161, 265, F},
    {"rss.limited", 162, 266, F},      {"rss.expanded", 163, 267, F},     {"param_F0_8D", 164, 268, F},
    {"param_F0_55", 0, 269, F},        {"param_F0_56", 0, 270, F},        {"composite.tlc39", 0, 271, F},
    {"param_F0_58", 0, 272, B},        {"param_F0_AB", 0, 273, F},        {"2d.pdf417", 0, 274, F},
    {"2d.micro_pdf", 0, 275, F},       {"param_7B", 0, 276, F},           {"2d.data_matrix", 0, 277, F},
    {"2d.maxicode", 0, 278, F},        {"2d.qr_code", 0, 279, F},         {"param_BC", 0, 280, FieldKind::UpToTwo},
    {"param_B8", 0, 281, F},           {"param_E9", 0, 282, F},           {"scan_time", 165, 283, B},
    {"param_89", 166, 284, B},         {"aim_time", 167, 0, B},           {"param_F0_29", 0, 285, F},
    {"param_F0_2A", 0, 286, F},        {"param_F0_32", 0, 287, B},        {"param_F0_A6", 0, 288, B},
    {"param_F0_AD", 0, 289, B},        {"param_2D", 168, 290, B},
};

// The library options: always present.
const SettingsField kOptions[] = {
    {"device_mask", 0, FieldKind::DeviceMask, 0},
    {"rfid_output_uid", 311, F, 0},
    {"rfid_output_data", 312, F, 0},
    {"rfid_data_separator", 314, B, 0},
    {"auto_read_start", 318, FieldKind::StartAddress, 0},
    {"auto_read_length", 319, B, 0},
    {"auto_read_key", 321, FieldKind::Text, 0, 15},
    {"good_read_sound", 342, B, 0},
    {"spare_option", 343, B, 0},
    {"vibrate_time", 345, FieldKind::VibrateTime, 0},
    {"keyboard_output", 346, F, 0},
    {"terminator_position", 347, B, 0},
    {"terminator_char", 348, B, 0},
    {"prefix", 349, FieldKind::Text, 0, 11},
    {"suffix", 360, FieldKind::Text, 0, 11},
    {"output_type_code", 371, F, 0},
    {"output_length", 372, F, 0},
    {"good_read_signal_time", 373, B, 0},
    {"good_read_indicator_time", 374, B, 0},
    {"good_read_indicator_mode", 375, B, 0},
};

constexpr int kVibrateSwitchByte = 344;

std::vector<SettingsField> buildFields() {
  std::vector<SettingsField> fields(std::begin(kOptions), std::end(kOptions));
  for (const TextEngineEntry &e : kTextEngine)
    fields.push_back({std::string("k2.") + e.name, e.offset, e.kind, 2, 1,
                      e.alias != nullptr ? std::string("k2.") + e.alias : std::string()});
  for (const SsiEntry &e : kSsi) {
    if (e.variant4Offset != 0) fields.push_back({std::string("k4.") + e.name, e.variant4Offset, e.kind, 4});
    if (e.variant3Offset != 0) fields.push_back({std::string("k3.") + e.name, e.variant3Offset, e.kind, 3});
  }
  std::stable_sort(fields.begin(), fields.end(),
                   [](const SettingsField &a, const SettingsField &b) { return a.offset < b.offset; });
  return fields;
}

// The values a numeric field takes.
bool rangeOf(FieldKind kind, int &low, int &high) {
  switch (kind) {
    case FieldKind::Flag: low = 0, high = 1; return true;
    case FieldKind::Bits2: low = 0, high = 3; return true;
    case FieldKind::Bits4: low = 0, high = 15; return true;
    case FieldKind::Bits7: low = 0, high = 127; return true;
    case FieldKind::Byte:
    case FieldKind::VibrateTime: low = 0, high = 255; return true;
    case FieldKind::OnWithValue: low = 0, high = 4; return true;
    case FieldKind::LengthMode: low = 0, high = 3; return true;
    case FieldKind::UpToTwo: low = 0, high = 2; return true;
    case FieldKind::StartAddress: low = -1, high = 255; return true;
    case FieldKind::DeviceMask:
    case FieldKind::Text: return false;
  }
  return false;
}

bool parseInteger(std::string_view text, int &value) {
  int base = 10;
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (negative) value = -value;
  return true;
}

}  // namespace

std::span<const SettingsField> settingsFields() {
  static const std::vector<SettingsField> fields = buildFields();
  return fields;
}

const SettingsField *findSettingsField(std::string_view name) {
  for (const SettingsField &f : settingsFields())
    if (f.name == name || (!f.alias.empty() && f.alias == name)) return &f;
  return nullptr;
}

int engineKindOf(const unsigned char *record) {
  if (record[0] & READER_TYPE_TEXT_ENGINE) return 2;
  if (record[0] & READER_TYPE_SSI_ENGINE_3) return 3;
  if (record[0] & READER_TYPE_SSI_ENGINE_4) return 4;
  return 0;
}

std::string fieldValueText(const SettingsField &field, const unsigned char *record) {
  const unsigned char byte = record[field.offset];
  switch (field.kind) {
    case FieldKind::Text: {
      const char *text = reinterpret_cast<const char *>(record + field.offset);
      return std::string(text, std::find(text, text + (field.size - 1), '\0'));
    }
    case FieldKind::StartAddress: return byte == 255 ? "-1" : std::to_string(byte);
    case FieldKind::VibrateTime: return std::to_string(record[kVibrateSwitchByte] != 0 ? byte : 0);
    default: return std::to_string(byte);
  }
}

bool storeFieldValue(const SettingsField &field, std::string_view text, unsigned char *record,
                     std::string &error) {
  if (field.kind == FieldKind::DeviceMask) {
    error = field.name + " is read only";
    return false;
  }
  if (field.kind == FieldKind::Text) {
    if (text.size() > static_cast<std::size_t>(field.size - 1) || text.find('\0') != std::string_view::npos) {
      error = field.name + " takes at most " + std::to_string(field.size - 1) + " characters";
      return false;
    }
    std::memset(record + field.offset, 0, static_cast<std::size_t>(field.size));
    std::memcpy(record + field.offset, text.data(), text.size());
    return true;
  }
  int low = 0, high = 0, value = 0;
  rangeOf(field.kind, low, high);
  const bool valid = parseInteger(text, value) && value >= low && value <= high &&
                     !(field.kind == FieldKind::LengthMode && value == 1);
  if (!valid) {
    error = "bad value '" + std::string(text) + "' for " + field.name + ": takes " +
            (field.kind == FieldKind::LengthMode ? std::string("0, 2 or 3")
                                                 : std::to_string(low) + " to " + std::to_string(high));
    return false;
  }
  if (field.kind == FieldKind::StartAddress && value < 0) value = 255;
  if (field.kind == FieldKind::VibrateTime) record[kVibrateSwitchByte] = value != 0 ? 1 : 0;
  record[field.offset] = static_cast<unsigned char>(value);
  return true;
}

}  // namespace readerctl
