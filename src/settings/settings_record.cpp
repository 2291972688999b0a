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

// How a record byte stands for its group parameter(s).
enum class Coding : std::uint8_t {
  Plain,          // the parameter's value, low 8 bits
  OnPlusValue,    // 0 = off; n = on with value n - 1 (parameter = value, second = on/off)
  LengthMode,     // derived from L1 (parameter) and L2 (second); a 2 lets a
                  // write put the larger length first
  CappedAtTwo,    // reported and sent with every value above 1 as 2
  NonzeroAsTwo,   // reported as 0 or 1; a nonzero byte is sent as 2
};

struct RecordField {
  std::uint16_t offset;
  std::uint8_t group;      // a ConfigGroup or an SsiGroup, by the section
  std::uint8_t parameter;  // 1-based argument
  std::uint8_t second = 0;
  Coding coding = Coding::Plain;
};

constexpr RecordField cfg(int offset, ConfigGroup group, int parameter) {
  return {std::uint16_t(offset), std::uint8_t(group), std::uint8_t(parameter)};
}
constexpr RecordField ssi(int offset, SsiGroup group, int parameter, Coding coding = Coding::Plain) {
  return {std::uint16_t(offset), std::uint8_t(group), std::uint8_t(parameter), 0, coding};
}
constexpr RecordField lengthMode(int offset, SsiGroup group, int l1, int l2) {
  return {std::uint16_t(offset), std::uint8_t(group), std::uint8_t(l1), std::uint8_t(l2), Coding::LengthMode};
}

using G = ConfigGroup;
using S = SsiGroup;

constexpr RecordField kTextEngineFields[] = {
    cfg(1, G::Group1, 1),   cfg(2, G::Group1, 5),   cfg(3, G::Group1, 2),   cfg(4, G::Group1, 3),
    cfg(5, G::Group1, 4),   cfg(6, G::Group6, 1),   cfg(7, G::Group6, 3),   cfg(8, G::Group6, 2),
    cfg(9, G::Group6, 4),   cfg(10, G::Group10, 1), cfg(11, G::Group10, 4), cfg(12, G::Group10, 2),
    cfg(13, G::Group10, 3), cfg(14, G::Group10, 5), cfg(15, G::Group10, 6), cfg(16, G::Group10, 7),
    cfg(17, G::Group17, 1), cfg(18, G::Group17, 4), cfg(19, G::Group17, 2), cfg(20, G::Group17, 3),
    cfg(21, G::Group17, 5), cfg(22, G::Group17, 6), cfg(23, G::Group17, 7), cfg(24, G::Group24, 1),
    cfg(25, G::Group24, 4), cfg(26, G::Group24, 2), cfg(27, G::Group24, 3), cfg(28, G::Group24, 5),
    cfg(29, G::Group24, 6), cfg(30, G::Group24, 7), cfg(31, G::Group31, 1),
    {32, std::uint8_t(G::Group31), 2, 3, Coding::OnPlusValue},
    cfg(33, G::Group33, 1), cfg(34, G::Group33, 2), cfg(35, G::Group33, 3), cfg(36, G::Group33, 4),
    cfg(37, G::Group33, 5), cfg(38, G::Group33, 6), cfg(39, G::Group39, 1), cfg(40, G::Group39, 3),
    cfg(41, G::Group39, 2), cfg(42, G::Group42, 1), cfg(43, G::Group42, 5), cfg(44, G::Group42, 7),
    cfg(45, G::Group42, 6), cfg(46, G::Group42, 2), cfg(47, G::Group42, 3), cfg(48, G::Group48, 1),
    cfg(49, G::Group48, 4), cfg(50, G::Group48, 2), cfg(51, G::Group48, 3), cfg(52, G::Group48, 5),
    cfg(53, G::UpcEan, 1),  cfg(54, G::UpcEan, 4),  cfg(55, G::UpcEan, 5),  cfg(56, G::UpcEan, 6),
    cfg(57, G::UpcEan, 2),  cfg(58, G::UpcEan, 3),  cfg(59, G::UpcEan, 9),  cfg(60, G::UpcEan, 8),
    cfg(61, G::UpcEan, 7),  cfg(62, G::Group62, 1), cfg(63, G::Group62, 2), cfg(64, G::Group64, 3),
    cfg(65, G::Group64, 6), cfg(66, G::Group64, 5), cfg(67, G::Group64, 4), cfg(68, G::Group64, 1),
    cfg(69, G::Group64, 9), cfg(70, G::Group64, 8), cfg(71, G::Group64, 7), cfg(72, G::Group64, 2),
    cfg(73, G::Group64, 10), cfg(74, G::Group74, 1), cfg(75, G::Code128, 1), cfg(76, G::Ean128, 1),
    cfg(78, G::Scan, 1),    cfg(79, G::Scan, 3),    cfg(80, G::Scan, 2),    cfg(81, G::Group81, 1),
    cfg(82, G::Group82, 1),
};

// The UPC and EAN groups share four bytes; the EAN group, read second, has
// the last word on them.
constexpr RecordField kVariant4Fields[] = {
    ssi(101, S::Upc, 1), ssi(102, S::Upc, 2), ssi(103, S::Upc, 3),
    ssi(104, S::Ean, 1), ssi(105, S::Ean, 2), ssi(106, S::Ean, 3),
    ssi(107, S::Upc, 4), ssi(107, S::Ean, 4), ssi(108, S::Upc, 5), ssi(108, S::Ean, 5),
    ssi(109, S::Upc, 6), ssi(110, S::Upc, 7), ssi(111, S::Upc, 8), ssi(112, S::Upc, 9),
    ssi(113, S::Upc, 10), ssi(114, S::Upc, 11), ssi(115, S::Upc, 12), ssi(116, S::Upc, 13),
    ssi(117, S::Ean, 6), ssi(118, S::Upc, 14), ssi(118, S::Ean, 7), ssi(119, S::Upc, 15), ssi(119, S::Ean, 8),
    ssi(120, S::Code128, 1), ssi(121, S::Code128, 2), ssi(122, S::Code128, 3),
    ssi(123, S::Code39, 1), ssi(124, S::Code39, 2), ssi(125, S::Code39, 3), ssi(126, S::Code39, 4),
    lengthMode(127, S::Code39, 8, 9), ssi(128, S::Code39, 8), ssi(129, S::Code39, 9),
    ssi(130, S::Code39, 5), ssi(131, S::Code39, 6), ssi(132, S::Code39, 7),
    ssi(133, S::Code93, 1), lengthMode(134, S::Code93, 2, 3), ssi(135, S::Code93, 2), ssi(136, S::Code93, 3),
    ssi(137, S::Interleaved2of5, 1), lengthMode(138, S::Interleaved2of5, 2, 3),
    ssi(139, S::Interleaved2of5, 2), ssi(140, S::Interleaved2of5, 3), ssi(141, S::Interleaved2of5, 4),
    ssi(142, S::Interleaved2of5, 5), ssi(143, S::Interleaved2of5, 6),
    ssi(144, S::Discrete2of5, 1), lengthMode(145, S::Discrete2of5, 2, 3),
    ssi(146, S::Discrete2of5, 2), ssi(147, S::Discrete2of5, 3),
    ssi(148, S::Codabar, 1), lengthMode(149, S::Codabar, 2, 3), ssi(150, S::Codabar, 2),
    ssi(151, S::Codabar, 3), ssi(152, S::Codabar, 4), ssi(153, S::Codabar, 5),
    ssi(154, S::Msi, 1), lengthMode(155, S::Msi, 2, 3), ssi(156, S::Msi, 2), ssi(157, S::Msi, 3),
    ssi(158, S::Msi, 4), ssi(159, S::Msi, 5), ssi(160, S::Msi, 6),
    ssi(161, S::Rss, 1), ssi(162, S::Rss, 2), ssi(163, S::Rss, 3), ssi(164, S::Rss, 4),
    ssi(165, S::ScanTime4, 1), ssi(166, S::ScanTime4, 3), ssi(167, S::ScanTime4, 6),
    ssi(168, S::Format, 1),
};

constexpr RecordField kVariant3Fields[] = {
    ssi(191, S::Upc, 1), ssi(192, S::Upc, 2), ssi(193, S::Upc, 3),
    ssi(194, S::Ean, 1), ssi(195, S::Ean, 2), ssi(196, S::Ean, 3),
    ssi(197, S::Upc, 4), ssi(197, S::Ean, 4), ssi(198, S::Upc, 5), ssi(198, S::Ean, 5),
    ssi(199, S::Upc, 6), ssi(200, S::Upc, 7), ssi(201, S::Upc, 8), ssi(202, S::Upc, 9),
    ssi(203, S::Upc, 10), ssi(204, S::Upc, 11), ssi(205, S::Upc, 12), ssi(206, S::Upc, 13),
    ssi(207, S::Ean, 6), ssi(208, S::Upc, 14), ssi(208, S::Ean, 7), ssi(209, S::Upc, 15), ssi(209, S::Ean, 8),
    ssi(210, S::Code128, 1), ssi(211, S::Code128, 2), ssi(212, S::Code128, 3),
    ssi(213, S::Code39, 1), ssi(214, S::Code39, 2), ssi(215, S::Code39, 3), ssi(216, S::Code39, 4),
    lengthMode(217, S::Code39, 8, 9), ssi(218, S::Code39, 8), ssi(219, S::Code39, 9),
    ssi(220, S::Code39, 5), ssi(221, S::Code39, 6), ssi(222, S::Code39, 7),
    ssi(223, S::Code93, 1), lengthMode(224, S::Code93, 2, 3), ssi(225, S::Code93, 2), ssi(226, S::Code93, 3),
    ssi(227, S::Code11, 1), lengthMode(228, S::Code11, 4, 5), ssi(229, S::Code11, 4), ssi(230, S::Code11, 5),
    ssi(231, S::Code11, 2), ssi(232, S::Code11, 3),
    ssi(233, S::Interleaved2of5, 1), lengthMode(234, S::Interleaved2of5, 2, 3),
    ssi(235, S::Interleaved2of5, 2), ssi(236, S::Interleaved2of5, 3), ssi(237, S::Interleaved2of5, 4),
    ssi(238, S::Interleaved2of5, 5), ssi(239, S::Interleaved2of5, 6),
    ssi(240, S::Discrete2of5, 1), lengthMode(241, S::Discrete2of5, 2, 3),
    ssi(242, S::Discrete2of5, 2), ssi(243, S::Discrete2of5, 3),
    ssi(244, S::Codabar, 1), lengthMode(245, S::Codabar, 2, 3), ssi(246, S::Codabar, 2),
    ssi(247, S::Codabar, 3), ssi(248, S::Codabar, 4), ssi(249, S::Codabar, 5),
    ssi(250, S::Msi, 1), lengthMode(251, S::Msi, 2, 3), ssi(252, S::Msi, 2), ssi(253, S::Msi, 3),
    ssi(254, S::Msi, 4), ssi(255, S::Msi, 5), ssi(256, S::Msi, 6),
    ssi(257, S::Postal, 1), ssi(258, S::Postal, 2), ssi(259, S::Postal, 3), ssi(260, S::Postal, 4),
    ssi(261, S::Postal, 5), ssi(262, S::Postal, 6), ssi(263, S::Postal, 7), ssi(264, S::Postal, 8),
    ssi(265, S::Rss, 1), ssi(266, S::Rss, 2), ssi(267, S::Rss, 3), ssi(268, S::Rss, 4),
    ssi(269, S::Composite, 1), ssi(270, S::Composite, 2), ssi(271, S::Composite, 3),
    ssi(272, S::Composite, 4), ssi(273, S::Composite, 6),
    ssi(274, S::TwoD, 1), ssi(275, S::TwoD, 2), ssi(276, S::TwoD, 3), ssi(277, S::TwoD, 4),
    ssi(278, S::TwoD, 5), ssi(279, S::TwoD, 6),
    ssi(280, S::OptionBC, 1, Coding::CappedAtTwo), ssi(281, S::OptionBC, 2),
    ssi(282, S::OptionBC, 3, Coding::NonzeroAsTwo),
    ssi(283, S::ScanTime, 1), ssi(284, S::ScanTime, 2),
    ssi(285, S::OptionF029, 1), ssi(286, S::OptionF029, 2), ssi(287, S::OptionF029, 3),
    ssi(288, S::OptionF029, 4), ssi(289, S::OptionF029, 5),
    ssi(290, S::Format, 1),
};

constexpr G kTextEngineOrder[] = {G::Scan,    G::Group81, G::Group1,  G::Group6,  G::Group10,
                                  G::Group17, G::Group24, G::Group31, G::Group33, G::Group39,
                                  G::Group42, G::Group48, G::UpcEan,  G::Group62, G::Group64,
                                  G::Group74, G::Code128, G::Ean128,  G::Group82};
constexpr S kVariant3Order[] = {S::ScanTime, S::OptionF029, S::Upc, S::Ean, S::Code128, S::Code39,
                                S::Code93, S::Code11, S::Interleaved2of5, S::Discrete2of5, S::Codabar,
                                S::Msi, S::Postal, S::Rss, S::Composite, S::TwoD, S::OptionBC, S::Format};
constexpr S kVariant4Order[] = {S::ScanTime4, S::Upc, S::Ean, S::Code128, S::Code39, S::Code93,
                                S::Interleaved2of5, S::Discrete2of5, S::Codabar, S::Msi, S::Rss,
                                S::Format};

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
  int kind;
  std::uint8_t deviceBit;  // in byte 0
  bool configBlockGroups;  // text engine; otherwise SSI groups
  std::uint16_t scanTimeByte;
  std::span<const std::uint8_t> groups;  // read and written in this order
  std::span<const RecordField> fields;
};

const EngineSection kSections[] = {
    {DeviceKind::TextEngine, 1, true, 79, kTextEngineGroups, kTextEngineFields},
    {DeviceKind::SsiEngine4, 2, false, 165, kVariant4Groups, kVariant4Fields},
    {DeviceKind::SsiEngine3, 4, false, 283, kVariant3Groups, kVariant3Fields},
};

constexpr std::uint8_t kAlwaysSetDeviceBit = 32;
constexpr int kTriggerModeByte = 78;
constexpr int kMaxParameters = std::max(kMaxConfigParameters, kMaxSsiParameters);

const EngineSection *sectionFor(int kind) {
  for (const EngineSection &s : kSections)
    if (s.kind == kind) return &s;
  return nullptr;
}

// One settings call is one use of the engine's port. An engine that has let
// one group's exchange go unanswered on every attempt is asked nothing more
// in this call: each further group would only wait out its own attempts.
class SectionUse {
 public:
  SectionUse(ReaderDevice &device, SsiKnownValues &known)
      : lock_(PortLock::take(device.barcode)), known_(known),
        unansweredAtStart_(device.barcode.unansweredExchanges) {}
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

void referenceParameters(const RecordField &f, GroupValues &g) {
  switch (f.coding) {
    case Coding::LengthMode: return;  // its lengths have bytes of their own
    case Coding::OnPlusValue: g.at(f.second); [[fallthrough]];
    default: g.at(f.parameter);
  }
}

std::uint8_t lowByte(int v) { return static_cast<std::uint8_t>(v & 0xFF); }

std::uint8_t reportedByte(const RecordField &f, const GroupValues &g) {
  const int v = g.get(f.parameter);
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

void takeByte(const RecordField &f, std::uint8_t byte, GroupValues &g) {
  switch (f.coding) {
    case Coding::OnPlusValue:
      g.at(f.parameter) = byte == 0 ? 0 : byte - 1;
      g.at(f.second) = byte == 0 ? 0 : 1;
      return;
    case Coding::CappedAtTwo: g.at(f.parameter) = byte > 1 ? 2 : byte; return;
    case Coding::NonzeroAsTwo: g.at(f.parameter) = byte != 0 ? 2 : 0; return;
    case Coding::LengthMode: return;  // applied once the lengths are in
    case Coding::Plain: g.at(f.parameter) = byte; return;
  }
}

void readSection(SettingsContext &context, const EngineSection &section, std::uint8_t *record) {
  const SectionUse use(context.device, context.ssiKnown);
  for (std::uint8_t group : section.groups) {
    if (!use.usable()) return;
    GroupValues g;
    for (const RecordField &f : section.fields)
      if (f.group == group) referenceParameters(f, g);
    if (!use.runGroup(section, group, kReadSettings, g.parameters())) continue;
    // Lengths first, so that each length mode is derived from them.
    for (const RecordField &f : section.fields)
      if (f.group == group && f.coding != Coding::LengthMode) record[f.offset] = reportedByte(f, g);
    for (const RecordField &f : section.fields)
      if (f.group == group && f.coding == Coding::LengthMode) record[f.offset] = reportedByte(f, g);
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
  const SectionUse use(context.device, context.ssiKnown);
  for (std::uint8_t group : section.groups) {
    if (!use.usable()) return;
    GroupValues g;
    for (const RecordField &f : section.fields)
      if (f.group == group) takeByte(f, record[f.offset], g);
    for (const RecordField &f : section.fields) {
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

enum class OptionCoding : std::uint8_t {
  Plain,           // low 8 bits
  StartAddress,    // 255 stands for -1, the tag family's default
  VibrateSwitch,   // reported as 1 when the vibration time is nonzero
  SwitchedValue,   // taken only when its switch byte is nonzero
};

struct IntegerOption {
  std::uint16_t offset;
  std::atomic<int> LibraryOptions::*option = nullptr;
  std::atomic<int> ReaderDevice::*deviceField = nullptr;
  OptionCoding coding = OptionCoding::Plain;
  std::uint16_t switchOffset = 0;
};

constexpr IntegerOption option(int offset, std::atomic<int> LibraryOptions::*member,
                               OptionCoding coding = OptionCoding::Plain, int switchOffset = 0) {
  return {std::uint16_t(offset), member, nullptr, coding, std::uint16_t(switchOffset)};
}
constexpr IntegerOption deviceOption(int offset, std::atomic<int> ReaderDevice::*member,
                                     OptionCoding coding = OptionCoding::Plain) {
  return {std::uint16_t(offset), nullptr, member, coding};
}

constexpr IntegerOption kIntegerOptions[] = {
    option(311, &LibraryOptions::rfidOutputUid),
    option(312, &LibraryOptions::rfidOutputData),
    option(314, &LibraryOptions::rfidDataSeparator),
    deviceOption(318, &ReaderDevice::autoReadStart, OptionCoding::StartAddress),
    deviceOption(319, &ReaderDevice::autoReadLength),
    option(342, &LibraryOptions::goodReadSound),
    option(343, &LibraryOptions::spareOption),
    option(344, &LibraryOptions::vibrateTime, OptionCoding::VibrateSwitch),
    option(345, &LibraryOptions::vibrateTime, OptionCoding::SwitchedValue, 344),
    option(346, &LibraryOptions::keyboardOutput),
    option(347, &LibraryOptions::terminatorPosition),
    option(348, &LibraryOptions::terminatorChar),
    option(371, &LibraryOptions::outputTypeCode),
    option(372, &LibraryOptions::outputLength),
    option(373, &LibraryOptions::goodReadSignalTime),
    option(374, &LibraryOptions::goodReadIndicatorTime),
    option(375, &LibraryOptions::goodReadIndicatorMode),
};

// A text field holds at most size - 1 characters and a terminating 0.
struct TextOption {
  std::uint16_t offset;
  std::uint8_t size;
  GuardedText LibraryOptions::*option = nullptr;
  GuardedText ReaderDevice::*deviceField = nullptr;
};

constexpr TextOption kTextOptions[] = {
    {321, 15, nullptr, &ReaderDevice::autoReadKey},
    {349, 11, &LibraryOptions::outputPrefix, nullptr},
    {360, 11, &LibraryOptions::outputSuffix, nullptr},
};

std::atomic<int> &integerOf(SettingsContext &context, const IntegerOption &o) {
  return o.option != nullptr ? context.options.*o.option : context.device.*o.deviceField;
}

GuardedText &textOf(SettingsContext &context, const TextOption &t) {
  return t.option != nullptr ? context.options.*t.option : context.device.*t.deviceField;
}

void reportOptions(SettingsContext &context, std::uint8_t *record) {
  for (const IntegerOption &o : kIntegerOptions) {
    const int v = integerOf(context, o);
    record[o.offset] = o.coding == OptionCoding::VibrateSwitch ? (v != 0 ? 1 : 0) : lowByte(v);
  }
  for (const TextOption &t : kTextOptions) {
    const ByteString text = textOf(context, t).get();
    const std::uint32_t n = std::min<std::uint32_t>(text.length(), t.size - 1u);
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::uint8_t c = text.byteAt(i);
      if (c == 0) break;
      record[t.offset + i] = c;
    }
  }
}

void takeOptions(SettingsContext &context, const std::uint8_t *record) {
  for (const IntegerOption &o : kIntegerOptions) {
    const std::uint8_t byte = record[o.offset];
    switch (o.coding) {
      case OptionCoding::Plain: integerOf(context, o) = byte; break;
      case OptionCoding::StartAddress: integerOf(context, o) = byte < 255 ? byte : -1; break;
      case OptionCoding::VibrateSwitch: break;  // read with its value
      case OptionCoding::SwitchedValue: integerOf(context, o) = record[o.switchOffset] != 0 ? byte : 0; break;
    }
  }
  for (const TextOption &t : kTextOptions) {
    const char *field = reinterpret_cast<const char *>(record + t.offset);
    const char *end = std::find(field, field + (t.size - 1), '\0');
    textOf(context, t).set(ByteString::fromText(std::string_view(field, static_cast<std::size_t>(end - field))));
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
  if (device.barcodeKind() == DeviceKind::None && device.rfidKind() == DeviceKind::None)
    return READER_ERR_NO_DEVICE;
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
  if (device.barcodeKind() == DeviceKind::None && device.rfidKind() == DeviceKind::None)
    return READER_ERR_NO_DEVICE;
  resetReaderToDefault(context, READER_DEVICE_ALL);
  return getReaderSettings(context, record) == READER_OK ? READER_OK : READER_ERR_SETTINGS;
}

}  // namespace reader
