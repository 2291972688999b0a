#include "settings/settings_record.h"

#include <3100XE_DLL.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>

#include "core/device_kind.h"
#include "core/port_lock.h"
#include "settings/config_block.h"
#include "settings/default_setup.h"
#include "settings/ssi_parameters.h"

namespace reader {

namespace {

// ---- Engine sections --------------------------------------------------------

// Which byte is which parameter, and how it is coded: settings_record_layout.h.
using record_layout::Coding;
using record_layout::EngineField;
using G = ConfigGroup;
using S = SsiGroup;

// Every parameter a byte names is one its group operation takes and GroupValues holds.
template <std::size_t N>
constexpr bool parametersFit(const EngineField (&fields)[N], int maxParameters) {
  for (const EngineField &f : fields)
    if (f.parameter > maxParameters || f.second > maxParameters || f.otherParameter > maxParameters) return false;
  return true;
}
static_assert(parametersFit(record_layout::kTextEngineFields, kMaxConfigParameters));
static_assert(parametersFit(record_layout::kSsiEngine4Fields, kMaxSsiParameters));
static_assert(parametersFit(record_layout::kSsiEngine3Fields, kMaxSsiParameters));

constexpr G kTextEngineOrder[] = {G::Scan,    G::Group81, G::Group1,  G::Group6,  G::Group10, G::Group17, G::Group24,
                                  G::Group31, G::Group33, G::Group39, G::Group42, G::Group48, G::UpcEan,  G::Group62,
                                  G::Group64, G::Group74, G::Code128, G::Ean128,  G::Group82};
constexpr S kVariant3Order[] = {
    S::ScanTime,        S::OptionF029,   S::Upc,     S::Ean, S::Code128, S::Code39, S::Code93,    S::Code11,
    S::Interleaved2of5, S::Discrete2of5, S::Codabar, S::Msi, S::Postal,  S::Rss,    S::Composite, S::TwoD,
    S::OptionBC,        S::Format};
constexpr S kVariant4Order[] = {S::ScanTime4,       S::Upc,          S::Ean,     S::Code128, S::Code39, S::Code93,
                                S::Interleaved2of5, S::Discrete2of5, S::Codabar, S::Msi,     S::Rss,    S::Format};

template <class Group, std::size_t N>
constexpr std::array<std::uint8_t, N> groupIndices(const Group (&groups)[N]) {
  std::array<std::uint8_t, N> out{};
  for (std::size_t i = 0; i < N; ++i) out[i] = static_cast<std::uint8_t>(groups[i]);
  return out;
}
constexpr auto kTextEngineGroups = groupIndices(kTextEngineOrder);
constexpr auto kVariant3Groups = groupIndices(kVariant3Order);
constexpr auto kVariant4Groups = groupIndices(kVariant4Order);

struct EngineSection {
  const record_layout::EngineSection &layout;
  std::uint8_t deviceBit;  // in byte 0
  bool configBlockGroups;  // text engine; otherwise SSI groups
  int scanTimeByte;
  std::span<const std::uint8_t> groups;  // read and written in this order
};

constexpr int kTextEngineScanTimeByte = record_layout::offsetOf(record_layout::kTextEngineFields, "scan_time");
constexpr int kVariant4ScanTimeByte = record_layout::offsetOf(record_layout::kSsiEngine4Fields, "scan_time");
constexpr int kVariant3ScanTimeByte = record_layout::offsetOf(record_layout::kSsiEngine3Fields, "scan_time");
static_assert(kTextEngineScanTimeByte > 0 && kVariant4ScanTimeByte > 0 && kVariant3ScanTimeByte > 0);

// clang-format off
const EngineSection kSections[] = {
    {record_layout::kTextEngineSection, 1, true, kTextEngineScanTimeByte, kTextEngineGroups},
    {record_layout::kSsiEngine4Section, 2, false, kVariant4ScanTimeByte, kVariant4Groups},
    {record_layout::kSsiEngine3Section, 4, false, kVariant3ScanTimeByte, kVariant3Groups},
};
// clang-format on
static_assert(DeviceKind::TextEngine == record_layout::kTextEngineSection.engineKind &&
              DeviceKind::SsiEngine4 == record_layout::kSsiEngine4Section.engineKind &&
              DeviceKind::SsiEngine3 == record_layout::kSsiEngine3Section.engineKind);

constexpr std::uint8_t kAlwaysSetDeviceBit = 32;
constexpr int kTriggerModeByte = record_layout::offsetOf(record_layout::kTextEngineFields, "trigger_mode");
static_assert(kTriggerModeByte > 0);
constexpr int kMaxParameters = std::max(kMaxConfigParameters, kMaxSsiParameters);

const EngineSection *sectionFor(int kind) {
  for (const EngineSection &s : kSections)
    if (s.layout.engineKind == kind) return &s;
  return nullptr;
}

// One settings call is one use of the engine's port. An engine that has let
// one group's exchange go unanswered on every attempt is asked nothing more
// in this call: each further group would only wait out its own attempts.
class SectionUse {
 public:
  SectionUse(ReaderDevice &device, SsiKnownValues &known)
      : lock_(PortLock::take(device.barcode)), known_(known), unansweredAtStart_(device.barcode.unansweredExchanges) {}
  bool usable() const { return lock_ && lock_->channel().unansweredExchanges == unansweredAtStart_; }

  // Only while usable().
  bool runGroup(const EngineSection &section, std::uint8_t group, char operation,
                std::span<int *const> parameters) const {
    if (section.configBlockGroups)
      return configGroupOperation(*lock_, static_cast<ConfigGroup>(group), operation, parameters);
    return ssiGroupOperation({*lock_, known_}, static_cast<SsiGroup>(group), operation, parameters);
  }

 private:
  const std::optional<PortLock> lock_;
  SsiKnownValues &known_;
  std::uint32_t unansweredAtStart_;
};

// One group's parameter values and the pointers handed to its operation;
// parameters without a record byte stay null and are left alone.
struct GroupValues {
  std::array<int, kMaxParameters> values{};
  std::array<int *, kMaxParameters> refs{};

  int &at(int parameter) {
    refs[parameter - 1] = &values[parameter - 1];
    return values[parameter - 1];
  }
  int get(int parameter) const { return values[parameter - 1]; }
  std::span<int *const> parameters() const { return refs; }
};

// The parameter of `group` the field's byte stands for; 0 when none. A byte
// two groups share stands for a parameter of each, always plainly coded.
int parameterIn(const EngineField &f, std::uint8_t group) {
  if (f.group == group) return f.parameter;
  if (f.otherParameter != 0 && f.otherGroup == group) return f.otherParameter;
  return 0;
}

void referenceParameters(const EngineField &f, int parameter, GroupValues &g) {
  switch (f.coding) {
    case Coding::LengthMode: return;  // its lengths have bytes of their own
    case Coding::OnPlusValue: g.at(f.second); [[fallthrough]];
    default: g.at(parameter);
  }
}

std::uint8_t lowByte(int v) { return static_cast<std::uint8_t>(v & 0xFF); }

std::uint8_t reportedByte(const EngineField &f, int parameter, const GroupValues &g) {
  const int v = g.get(parameter);
  switch (f.coding) {
    case Coding::OnPlusValue: return g.get(f.second) != 0 ? lowByte(v + 1) : 0;
    case Coding::CappedAtTwo: return v > 1 ? 2 : lowByte(v);
    case Coding::NonzeroAsTwo: return v != 0 ? 1 : 0;
    case Coding::LengthMode: {
      const int l1 = lowByte(v), l2 = lowByte(g.get(f.second));
      if (l1 == 0 && l2 == 0) return 0;
      return l1 >= l2 ? 2 : 3;
    }
    case Coding::Plain: break;
  }
  return lowByte(v);
}

void takeByte(const EngineField &f, int parameter, std::uint8_t byte, GroupValues &g) {
  switch (f.coding) {
    case Coding::OnPlusValue:
      g.at(parameter) = byte == 0 ? 0 : byte - 1;
      g.at(f.second) = byte == 0 ? 0 : 1;
      return;
    case Coding::CappedAtTwo: g.at(parameter) = byte > 1 ? 2 : byte; return;
    case Coding::NonzeroAsTwo: g.at(parameter) = byte != 0 ? 2 : 0; return;
    case Coding::LengthMode: return;  // applied once the lengths are in
    case Coding::Plain: g.at(parameter) = byte; return;
  }
}

void readSection(SettingsContext &context, const EngineSection &section, std::uint8_t *record) {
  const std::span<const EngineField> fields = section.layout.fields;
  const SectionUse use(context.device, context.ssiKnown);
  for (std::uint8_t group : section.groups) {
    if (!use.usable()) return;
    GroupValues g;
    for (const EngineField &f : fields)
      if (const int p = parameterIn(f, group); p != 0) referenceParameters(f, p, g);
    if (!use.runGroup(section, group, kReadSettings, g.parameters())) continue;
    // Lengths first, so that each length mode is derived from them.
    for (const EngineField &f : fields)
      if (const int p = parameterIn(f, group); p != 0 && f.coding != Coding::LengthMode)
        record[f.offset] = reportedByte(f, p, g);
    for (const EngineField &f : fields)
      if (const int p = parameterIn(f, group); p != 0 && f.coding == Coding::LengthMode)
        record[f.offset] = reportedByte(f, p, g);
  }
}

void handOverAutoScan(SettingsContext &context, std::uint8_t modeByte) {
  // The engine keeps the low four bits: decide on the mode it now has. The
  // loop looks at the token before every cycle, so taking it back stops the
  // loop after the cycle under way.
  std::atomic<int> &token = context.device.barcode.autoScanToken;
  if (isSelfTriggeredMode(modeByte & 0x0F)) {
    token = 1;
    context.autoScanSem.release();
  } else {
    token = 0;
  }
}

void writeSection(SettingsContext &context, const EngineSection &section, const std::uint8_t *record) {
  const std::span<const EngineField> fields = section.layout.fields;
  const SectionUse use(context.device, context.ssiKnown);
  for (std::uint8_t group : section.groups) {
    if (!use.usable()) return;
    GroupValues g;
    for (const EngineField &f : fields)
      if (const int p = parameterIn(f, group); p != 0) takeByte(f, p, record[f.offset], g);
    for (const EngineField &f : fields) {
      if (f.group != group || f.coding != Coding::LengthMode || record[f.offset] != 2) continue;
      const int l1 = g.get(f.parameter), l2 = g.get(f.second);
      if (l1 < l2) {
        g.at(f.parameter) = l2;
        g.at(f.second) = l1;
      }
    }
    const bool written = use.runGroup(section, group, kWriteSettings, g.parameters());
    if (written && section.configBlockGroups && group == std::uint8_t(ConfigGroup::Scan))
      handOverAutoScan(context, record[kTriggerModeByte]);
  }
}

// ---- Library options --------------------------------------------------------

using record_layout::FieldKind;
using record_layout::Option;
using record_layout::OptionField;

// Where each option is kept: an integer or a text, in the LibraryOptions or,
// for the auto-read, in the ReaderDevice.
struct OptionStore {
  std::atomic<int> *integer = nullptr;
  GuardedText *text = nullptr;
};

OptionStore storeOf(SettingsContext &context, Option option) {
  LibraryOptions &o = context.options;
  ReaderDevice &d = context.device;
  switch (option) {
    case Option::DeviceMask: break;  // the fitted engine, the library's own
    case Option::RfidOutputUid: return {&o.rfidOutputUid};
    case Option::RfidOutputData: return {&o.rfidOutputData};
    case Option::RfidDataSeparator: return {&o.rfidDataSeparator};
    case Option::AutoReadStart: return {&d.autoReadStart};
    case Option::AutoReadLength: return {&d.autoReadLength};
    case Option::AutoReadKey: return {nullptr, &d.autoReadKey};
    case Option::GoodReadSound: return {&o.goodReadSound};
    case Option::SpareOption: return {&o.spareOption};
    case Option::VibrateTime: return {&o.vibrateTime};
    case Option::KeyboardOutput: return {&o.keyboardOutput};
    case Option::TerminatorPosition: return {&o.terminatorPosition};
    case Option::TerminatorChar: return {&o.terminatorChar};
    case Option::OutputPrefix: return {nullptr, &o.outputPrefix};
    case Option::OutputSuffix: return {nullptr, &o.outputSuffix};
    case Option::OutputTypeCode: return {&o.outputTypeCode};
    case Option::OutputLength: return {&o.outputLength};
    case Option::GoodReadSignalTime: return {&o.goodReadSignalTime};
    case Option::GoodReadIndicatorTime: return {&o.goodReadIndicatorTime};
    case Option::GoodReadIndicatorMode: return {&o.goodReadIndicatorMode};
  }
  return {};
}

void reportText(const GuardedText &store, const OptionField &f, std::uint8_t *record) {
  const ByteString text = store.get();
  const std::uint32_t n = std::min<std::uint32_t>(text.length(), f.size - 1u);
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint8_t c = text.byteAt(i);
    if (c == 0) break;
    record[f.offset + i] = c;
  }
}

void reportOptions(SettingsContext &context, std::uint8_t *record) {
  for (const OptionField &f : record_layout::kOptionFields) {
    const OptionStore store = storeOf(context, f.option);
    if (store.text != nullptr) reportText(*store.text, f, record);
    if (store.integer == nullptr) continue;
    const int v = *store.integer;
    record[f.offset] = lowByte(v);
    if (f.kind == FieldKind::VibrateTime) record[record_layout::kVibrateSwitchByte] = v != 0 ? 1 : 0;
  }
}

void takeOptions(SettingsContext &context, const std::uint8_t *record) {
  for (const OptionField &f : record_layout::kOptionFields) {
    const OptionStore store = storeOf(context, f.option);
    if (store.text != nullptr) {
      const char *field = reinterpret_cast<const char *>(record + f.offset);
      const char *end = std::find(field, field + (f.size - 1), '\0');
      store.text->set(ByteString::fromText(std::string_view(field, static_cast<std::size_t>(end - field))));
    }
    if (store.integer == nullptr) continue;
    const std::uint8_t byte = record[f.offset];
    switch (f.kind) {
      case FieldKind::StartAddress: *store.integer = byte < 255 ? byte : -1; break;
      case FieldKind::VibrateTime: *store.integer = record[record_layout::kVibrateSwitchByte] != 0 ? byte : 0; break;
      default: *store.integer = byte; break;
    }
  }
}

}  // namespace

int getReaderSettings(SettingsContext &context, std::uint8_t *record) {
  if (record == nullptr) return READER_ERR_SETTINGS;
  std::memset(record, 0, kSettingsRecordBytes);
  if (const EngineSection *section = sectionFor(context.device.barcodeKind())) {
    record[0] |= section->deviceBit;
    readSection(context, *section, record);
  }
  record[0] |= kAlwaysSetDeviceBit;
  reportOptions(context, record);
  return READER_OK;
}

int setReaderSettings(SettingsContext &context, const std::uint8_t *record) {
  if (record == nullptr) return READER_ERR_SETTINGS;
  if (const EngineSection *section = sectionFor(context.device.barcodeKind())) {
    context.options.scanTimeout = record[section->scanTimeByte];
    writeSection(context, *section, record);
  }
  takeOptions(context, record);
  return READER_OK;
}

int resetReaderToDefault(SettingsContext &context, int deviceMask) {
  ReaderDevice &device = context.device;
  if (device.barcodeKind() == DeviceKind::None && device.rfidKind() == DeviceKind::None) return READER_ERR_NO_DEVICE;
  resetOptionsToDefaults(context.options);
  device.autoReadStart = 0;
  device.autoReadLength = 128;
  // Each set-up is one use of its port, the SSI engine's close and reopen
  // included.
  if ((deviceMask & READER_DEVICE_BARCODE) != 0 && device.barcodeKind() != DeviceKind::None) {
    const auto lock = PortLock::take(device.barcode);
    if (!lock || !applyDefaultSetup(*lock, context.ssiKnown)) return READER_ERR_BARCODE_FAILED;
  }
  if ((deviceMask & READER_DEVICE_RFID) != 0 && device.rfidKind() != DeviceKind::None) {
    const auto lock = PortLock::take(device.rfid);
    if (!lock || !applyDefaultSetup(*lock, context.ssiKnown)) return READER_ERR_RFID_FAILED;
  }
  return READER_OK;
}

int getDllDefaultSettings(SettingsContext &context, std::uint8_t *record) {
  ReaderDevice &device = context.device;
  if (device.barcodeKind() == DeviceKind::None && device.rfidKind() == DeviceKind::None) return READER_ERR_NO_DEVICE;
  resetReaderToDefault(context, READER_DEVICE_ALL);
  return getReaderSettings(context, record) == READER_OK ? READER_OK : READER_ERR_SETTINGS;
}

}  // namespace reader
