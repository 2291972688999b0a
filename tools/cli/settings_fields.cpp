#include "settings_fields.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace readerctl {

namespace {

namespace layout = reader::record_layout;

static_assert(READER_SETTINGS_RECORD_SIZE == reader::kSettingsRecordBytes);

constexpr int kVibrateSwitchByte = layout::kVibrateSwitchByte;

// The options (section 0, always present), then each engine section's named
// bytes under its kind's prefix ("k2.").
std::vector<SettingsField> buildFields() {
  std::vector<SettingsField> fields;
  for (const layout::OptionField &o : layout::kOptionFields) fields.push_back({o.name, o.offset, o.kind, 0, o.size});
  for (const layout::EngineSection *section : layout::kEngineSections) {
    const std::string prefix = "k" + std::to_string(section->engineKind) + ".";
    for (const layout::EngineField &f : section->fields) {
      if (f.name == nullptr) continue;
      fields.push_back({prefix + f.name, f.offset, f.kind, section->engineKind, 1,
                        f.alias != nullptr ? prefix + f.alias : std::string()});
    }
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

bool storeFieldValue(const SettingsField &field, std::string_view text, unsigned char *record, std::string &error) {
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
