// The layout of the settings record, in one place: which byte is which engine
// parameter or library option, how the library codes its value, and the name
// and value kind readerctl shows it under. The library reads and writes the
// record from these tables, readerctl names its fields from them, and
// python/tools/generate_settings_fields.py reads this file to write the
// Python binding's field table (keep the entries one call or one brace each,
// offset, name and kind first).
//
// Data only, and no includes beyond the standard library: readerctl, a client
// of the public API, compiles against this header alone.
#pragma once

#include <cstdint>
#include <span>

namespace reader {

inline constexpr int kSettingsRecordBytes = 401;

// The text engine's settings groups, in the order of the settings record.
enum class ConfigGroup : std::uint8_t {
  Group1,
  Group6,
  Group10,
  Group17,
  Group24,
  Group31,
  Group33,
  Group39,
  Group42,
  Group48,
  UpcEan,
  Group62,
  Group64,
  Group74,
  Code128,
  Ean128,
  Scan,
  Group81,
  Group82,
};
inline constexpr int kConfigGroupCount = 19;

// The SSI engines' settings groups.
enum class SsiGroup : std::uint8_t {
  Code39,
  Upc,
  Ean,
  Code128,
  Code93,
  Code11,
  Interleaved2of5,
  Discrete2of5,
  Codabar,
  Msi,
  Postal,
  Rss,
  Composite,
  TwoD,
  Redundancy,
  OptionBC,
  OptionF029,
  Format,
  ScanTime,   // variant 3
  ScanTime4,  // variant 4; its parameter 6 is the channel's aimTime
};
inline constexpr int kSsiGroupCount = 20;

namespace record_layout {

// The values a field takes, as readerctl checks them.
enum class FieldKind {
  DeviceMask,    // byte 0: which engine is fitted; read only
  Flag,          // 0 or 1
  Bits2,         // 0 to 3
  Bits4,         // 0 to 15
  Bits7,         // 0 to 127
  Byte,          // 0 to 255
  OnWithValue,   // 0 = off, 1 to 4 = on with value 0 to 3
  LengthMode,    // 0, 2 or 3
  UpToTwo,       // 0 to 2
  StartAddress,  // -1 (the tag family's default) to 254
  VibrateTime,   // 0 to 255; also sets its on/off byte
  Text,          // at most size - 1 characters
};

// How the library turns an engine byte into its group parameter(s) and back.
enum class Coding : std::uint8_t {
  Plain,         // the parameter's value, low 8 bits
  OnPlusValue,   // 0 = off; n = on with value n - 1 (parameter = value, second = on/off)
  LengthMode,    // derived from L1 (parameter) and L2 (second); a 2 lets a
                 // write put the larger length first
  CappedAtTwo,   // reported and sent with every value above 1 as 2
  NonzeroAsTwo,  // reported as 0 or 1; a nonzero byte is sent as 2
};

// One byte of an engine section.
struct EngineField {
  std::uint16_t offset;
  const char *name;  // readerctl's, without the section's prefix; null for a byte it does not show
  FieldKind kind;
  std::uint8_t group;       // a ConfigGroup or an SsiGroup, by the section
  std::uint8_t parameter;   // 1-based argument of the group's operation
  std::uint8_t second = 0;  // OnPlusValue: the on/off parameter; LengthMode: L2
  Coding coding = Coding::Plain;
  // A byte the UPC and EAN groups share: the other group and its parameter
  // (0: none). Of two groups that read it, the one read second has the last
  // word.
  std::uint8_t otherGroup = 0;
  std::uint8_t otherParameter = 0;
  const char *alias = nullptr;  // readerctl's former name for it
};

constexpr EngineField cfg(int offset, const char *name, FieldKind kind, ConfigGroup group, int parameter,
                          const char *alias = nullptr) {
  return {
      std::uint16_t(offset), name, kind, std::uint8_t(group), std::uint8_t(parameter), 0, Coding::Plain, 0, 0, alias};
}
constexpr EngineField onWithValue(int offset, const char *name, FieldKind kind, ConfigGroup group, int valueParameter,
                                  int onParameter) {
  return {
      std::uint16_t(offset), name, kind, std::uint8_t(group), std::uint8_t(valueParameter), std::uint8_t(onParameter),
      Coding::OnPlusValue};
}
constexpr EngineField ssi(int offset, const char *name, FieldKind kind, SsiGroup group, int parameter,
                          Coding coding = Coding::Plain) {
  return {std::uint16_t(offset), name, kind, std::uint8_t(group), std::uint8_t(parameter), 0, coding};
}
constexpr EngineField lengthMode(int offset, const char *name, FieldKind kind, SsiGroup group, int l1, int l2) {
  return {std::uint16_t(offset), name, kind, std::uint8_t(group), std::uint8_t(l1), std::uint8_t(l2),
          Coding::LengthMode};
}
constexpr EngineField upcEan(int offset, const char *name, FieldKind kind, int upcParameter, int eanParameter) {
  return {std::uint16_t(offset),      name, kind,          std::uint8_t(SsiGroup::Upc),
          std::uint8_t(upcParameter), 0,    Coding::Plain, std::uint8_t(SsiGroup::Ean),
          std::uint8_t(eanParameter)};
}

inline constexpr FieldKind F = FieldKind::Flag;
inline constexpr FieldKind B = FieldKind::Byte;
inline constexpr FieldKind B2 = FieldKind::Bits2;
inline constexpr FieldKind B4 = FieldKind::Bits4;
inline constexpr FieldKind B7 = FieldKind::Bits7;
inline constexpr FieldKind LM = FieldKind::LengthMode;
using G = ConfigGroup;
using S = SsiGroup;

// The text engine's groups and parameters. Where the library itself acts on a
// field (the trigger mode, the scan time, the Code 128 and EAN-128 switches,
// how UPC-A and EAN-13 results are trimmed), its name says so; the others
// keep their group (named after its first byte in the record) and parameter
// number, their effect being the engine's business.
// clang-format off
inline constexpr EngineField kTextEngineFields[] = {
    cfg(1, "group1.p1", F, G::Group1, 1),      cfg(2, "group1.p5", F, G::Group1, 5),
    cfg(3, "group1.p2", F, G::Group1, 2),      cfg(4, "group1.p3", F, G::Group1, 3),
    cfg(5, "group1.p4", F, G::Group1, 4),      cfg(6, "group6.p1", F, G::Group6, 1),
    cfg(7, "group6.p3", F, G::Group6, 3),      cfg(8, "group6.p2", F, G::Group6, 2),
    cfg(9, "group6.p4", F, G::Group6, 4),      cfg(10, "group10.p1", F, G::Group10, 1),
    cfg(11, "group10.p4", B2, G::Group10, 4),  cfg(12, "group10.p2", F, G::Group10, 2),
    cfg(13, "group10.p3", F, G::Group10, 3),   cfg(14, "group10.p5", F, G::Group10, 5),
    cfg(15, "group10.p6", B7, G::Group10, 6),  cfg(16, "group10.p7", B, G::Group10, 7),
    cfg(17, "group17.p1", F, G::Group17, 1),   cfg(18, "group17.p4", B2, G::Group17, 4),
    cfg(19, "group17.p2", F, G::Group17, 2),   cfg(20, "group17.p3", F, G::Group17, 3),
    cfg(21, "group17.p5", F, G::Group17, 5),   cfg(22, "group17.p6", B7, G::Group17, 6),
    cfg(23, "group17.p7", B, G::Group17, 7),   cfg(24, "group24.p1", F, G::Group24, 1),
    cfg(25, "group24.p4", B2, G::Group24, 4),  cfg(26, "group24.p2", F, G::Group24, 2),
    cfg(27, "group24.p3", F, G::Group24, 3),   cfg(28, "group24.p5", F, G::Group24, 5),
    cfg(29, "group24.p6", B7, G::Group24, 6),  cfg(30, "group24.p7", B, G::Group24, 7),
    cfg(31, "group31.p1", F, G::Group31, 1),
    onWithValue(32, "group31.p2_p3", FieldKind::OnWithValue, G::Group31, 2, 3),
    cfg(33, "group33.p1", F, G::Group33, 1),   cfg(34, "group33.p2", B2, G::Group33, 2),
    cfg(35, "group33.p3", B2, G::Group33, 3),  cfg(36, "group33.p4", F, G::Group33, 4),
    cfg(37, "group33.p5", B7, G::Group33, 5),  cfg(38, "group33.p6", B, G::Group33, 6),
    cfg(39, "group39.p1", F, G::Group39, 1),   cfg(40, "group39.p3", F, G::Group39, 3),
    cfg(41, "group39.p2", F, G::Group39, 2),   cfg(42, "group42.p1", F, G::Group42, 1),
    cfg(43, "group42.p5", F, G::Group42, 5),   cfg(44, "group42.p7", F, G::Group42, 7),
    cfg(45, "group42.p6", F, G::Group42, 6),   cfg(46, "group42.p2", F, G::Group42, 2),
    cfg(47, "group42.p3", F, G::Group42, 3),   cfg(48, "group48.p1", F, G::Group48, 1),
    cfg(49, "group48.p4", F, G::Group48, 4),   cfg(50, "group48.p2", F, G::Group48, 2),
    cfg(51, "group48.p3", F, G::Group48, 3),   cfg(52, "group48.p5", F, G::Group48, 5),
    cfg(53, "upc_ean.p1", F, G::UpcEan, 1),    cfg(54, "upc_ean.p4", F, G::UpcEan, 4),
    cfg(55, "upc_ean.p5", F, G::UpcEan, 5),    cfg(56, "upc_ean.send_ean13_check_digit", F, G::UpcEan, 6),
    cfg(57, "upc_ean.p2", F, G::UpcEan, 2),    cfg(58, "upc_ean.p3", F, G::UpcEan, 3),
    // UPC-A results keep their first digit.
    cfg(59, "upc_ean.send_upca_system_digit", F, G::UpcEan, 9, "upc_ean.p9"),
    cfg(60, "upc_ean.send_upca_check_digit", F, G::UpcEan, 8),
    cfg(61, "upc_ean.upca_as_ean13", F, G::UpcEan, 7),
    cfg(62, "group62.p1", F, G::Group62, 1),   cfg(63, "group62.p2", F, G::Group62, 2),
    cfg(64, "group64.p3", F, G::Group64, 3),   cfg(65, "group64.p6", F, G::Group64, 6),
    cfg(66, "group64.p5", F, G::Group64, 5),   cfg(67, "group64.p4", F, G::Group64, 4),
    cfg(68, "group64.p1", F, G::Group64, 1),   cfg(69, "group64.p9", F, G::Group64, 9),
    cfg(70, "group64.p8", F, G::Group64, 8),   cfg(71, "group64.p7", F, G::Group64, 7),
    cfg(72, "group64.p2", F, G::Group64, 2),   cfg(73, "group64.p10", F, G::Group64, 10),
    cfg(74, "group74.p1", F, G::Group74, 1),   cfg(75, "code128", F, G::Code128, 1),
    cfg(76, "ean128", F, G::Ean128, 1),        cfg(78, "trigger_mode", B4, G::Scan, 1),
    cfg(79, "scan_time", B, G::Scan, 3),       cfg(80, "scan.p2", B2, G::Scan, 2),
    cfg(81, "group81.p1", F, G::Group81, 1),   cfg(82, "group82.p1", F, G::Group82, 1),
};
// clang-format on

// The SSI sections name alike what they share. "param_XX" is the SSI
// parameter number (F0_XX an extended one) of a parameter the library passes
// through without knowing its effect.
// clang-format off
inline constexpr EngineField kSsiEngine4Fields[] = {
    ssi(101, "upc.upca", F, S::Upc, 1),          ssi(102, "upc.upce", F, S::Upc, 2),
    ssi(103, "upc.upce1", F, S::Upc, 3),         ssi(104, "ean.ean8", F, S::Ean, 1),
    ssi(105, "ean.ean13", F, S::Ean, 2),         ssi(106, "ean.bookland", F, S::Ean, 3),
    upcEan(107, "param_10", B, 4, 4),            upcEan(108, "param_50", B, 5, 5),
    ssi(109, "param_28", F, S::Upc, 6),          ssi(110, "param_29", F, S::Upc, 7),
    ssi(111, "param_2A", F, S::Upc, 8),          ssi(112, "param_22", B, S::Upc, 9),
    ssi(113, "param_23", B, S::Upc, 10),         ssi(114, "param_24", B, S::Upc, 11),
    ssi(115, "param_25", F, S::Upc, 12),         ssi(116, "param_26", F, S::Upc, 13),
    ssi(117, "param_27", F, S::Ean, 6),          upcEan(118, "param_55", F, 14, 7),
    // Exchanged only with a variant 3 engine: it stays 0 here and has no name.
    upcEan(119, nullptr, F, 15, 8),
    ssi(120, "code128.enable", F, S::Code128, 1), ssi(121, "code128.ean128", F, S::Code128, 2),
    ssi(122, "code128.isbt128", F, S::Code128, 3),
    ssi(123, "code39.enable", F, S::Code39, 1),  ssi(124, "code39.trioptic", F, S::Code39, 2),
    ssi(125, "code39.code32", F, S::Code39, 3),  ssi(126, "param_E7", F, S::Code39, 4),
    lengthMode(127, "code39.length_mode", LM, S::Code39, 8, 9),
    ssi(128, "code39.length1", B, S::Code39, 8), ssi(129, "code39.length2", B, S::Code39, 9),
    ssi(130, "param_30", F, S::Code39, 5),       ssi(131, "param_2B", F, S::Code39, 6),
    ssi(132, "code39.full_ascii", F, S::Code39, 7),
    ssi(133, "code93.enable", F, S::Code93, 1),  lengthMode(134, "code93.length_mode", LM, S::Code93, 2, 3),
    ssi(135, "code93.length1", B, S::Code93, 2), ssi(136, "code93.length2", B, S::Code93, 3),
    ssi(137, "i2of5.enable", F, S::Interleaved2of5, 1),
    lengthMode(138, "i2of5.length_mode", LM, S::Interleaved2of5, 2, 3),
    ssi(139, "i2of5.length1", B, S::Interleaved2of5, 2), ssi(140, "i2of5.length2", B, S::Interleaved2of5, 3),
    ssi(141, "param_31", B, S::Interleaved2of5, 4), ssi(142, "param_2C", F, S::Interleaved2of5, 5),
    ssi(143, "param_52", F, S::Interleaved2of5, 6),
    ssi(144, "d2of5.enable", F, S::Discrete2of5, 1),
    lengthMode(145, "d2of5.length_mode", LM, S::Discrete2of5, 2, 3),
    ssi(146, "d2of5.length1", B, S::Discrete2of5, 2), ssi(147, "d2of5.length2", B, S::Discrete2of5, 3),
    ssi(148, "codabar.enable", F, S::Codabar, 1), lengthMode(149, "codabar.length_mode", LM, S::Codabar, 2, 3),
    ssi(150, "codabar.length1", B, S::Codabar, 2), ssi(151, "codabar.length2", B, S::Codabar, 3),
    ssi(152, "param_36", F, S::Codabar, 4),      ssi(153, "param_37", F, S::Codabar, 5),
    ssi(154, "msi.enable", F, S::Msi, 1),        lengthMode(155, "msi.length_mode", LM, S::Msi, 2, 3),
    ssi(156, "msi.length1", B, S::Msi, 2),       ssi(157, "msi.length2", B, S::Msi, 3),
    ssi(158, "param_32", F, S::Msi, 4),          ssi(159, "param_2E", F, S::Msi, 5),
    ssi(160, "param_33", B, S::Msi, 6),
    ssi(161, "rss.rss14", F, S::Rss, 1),         ssi(162, "rss.limited", F, S::Rss, 2),
    ssi(163, "rss.expanded", F, S::Rss, 3),      ssi(164, "param_F0_8D", F, S::Rss, 4),
    ssi(165, "scan_time", B, S::ScanTime4, 1),   ssi(166, "param_89", B, S::ScanTime4, 3),
    ssi(167, "aim_time", B, S::ScanTime4, 6),    ssi(168, "param_2D", B, S::Format, 1),
};
// clang-format on

// clang-format off
inline constexpr EngineField kSsiEngine3Fields[] = {
    ssi(191, "upc.upca", F, S::Upc, 1),          ssi(192, "upc.upce", F, S::Upc, 2),
    ssi(193, "upc.upce1", F, S::Upc, 3),         ssi(194, "ean.ean8", F, S::Ean, 1),
    ssi(195, "ean.ean13", F, S::Ean, 2),         ssi(196, "ean.bookland", F, S::Ean, 3),
    upcEan(197, "param_10", B, 4, 4),            upcEan(198, "param_50", B, 5, 5),
    ssi(199, "param_28", F, S::Upc, 6),          ssi(200, "param_29", F, S::Upc, 7),
    ssi(201, "param_2A", F, S::Upc, 8),          ssi(202, "param_22", B, S::Upc, 9),
    ssi(203, "param_23", B, S::Upc, 10),         ssi(204, "param_24", B, S::Upc, 11),
    ssi(205, "param_25", F, S::Upc, 12),         ssi(206, "param_26", F, S::Upc, 13),
    ssi(207, "param_27", F, S::Ean, 6),          upcEan(208, "param_55", F, 14, 7),
    upcEan(209, "param_44", F, 15, 8),
    ssi(210, "code128.enable", F, S::Code128, 1), ssi(211, "code128.ean128", F, S::Code128, 2),
    ssi(212, "code128.isbt128", F, S::Code128, 3),
    ssi(213, "code39.enable", F, S::Code39, 1),  ssi(214, "code39.trioptic", F, S::Code39, 2),
    ssi(215, "code39.code32", F, S::Code39, 3),  ssi(216, "param_E7", F, S::Code39, 4),
    lengthMode(217, "code39.length_mode", LM, S::Code39, 8, 9),
    ssi(218, "code39.length1", B, S::Code39, 8), ssi(219, "code39.length2", B, S::Code39, 9),
    ssi(220, "param_30", F, S::Code39, 5),       ssi(221, "param_2B", F, S::Code39, 6),
    ssi(222, "code39.full_ascii", F, S::Code39, 7),
    ssi(223, "code93.enable", F, S::Code93, 1),  lengthMode(224, "code93.length_mode", LM, S::Code93, 2, 3),
    ssi(225, "code93.length1", B, S::Code93, 2), ssi(226, "code93.length2", B, S::Code93, 3),
    ssi(227, "code11.enable", F, S::Code11, 1),  lengthMode(228, "code11.length_mode", LM, S::Code11, 4, 5),
    ssi(229, "code11.length1", B, S::Code11, 4), ssi(230, "code11.length2", B, S::Code11, 5),
    ssi(231, "param_34", B, S::Code11, 2),       ssi(232, "param_2F", F, S::Code11, 3),
    ssi(233, "i2of5.enable", F, S::Interleaved2of5, 1),
    lengthMode(234, "i2of5.length_mode", LM, S::Interleaved2of5, 2, 3),
    ssi(235, "i2of5.length1", B, S::Interleaved2of5, 2), ssi(236, "i2of5.length2", B, S::Interleaved2of5, 3),
    ssi(237, "param_31", B, S::Interleaved2of5, 4), ssi(238, "param_2C", F, S::Interleaved2of5, 5),
    ssi(239, "param_52", F, S::Interleaved2of5, 6),
    ssi(240, "d2of5.enable", F, S::Discrete2of5, 1),
    lengthMode(241, "d2of5.length_mode", LM, S::Discrete2of5, 2, 3),
    ssi(242, "d2of5.length1", B, S::Discrete2of5, 2), ssi(243, "d2of5.length2", B, S::Discrete2of5, 3),
    ssi(244, "codabar.enable", F, S::Codabar, 1), lengthMode(245, "codabar.length_mode", LM, S::Codabar, 2, 3),
    ssi(246, "codabar.length1", B, S::Codabar, 2), ssi(247, "codabar.length2", B, S::Codabar, 3),
    ssi(248, "param_36", F, S::Codabar, 4),      ssi(249, "param_37", F, S::Codabar, 5),
    ssi(250, "msi.enable", F, S::Msi, 1),        lengthMode(251, "msi.length_mode", LM, S::Msi, 2, 3),
    ssi(252, "msi.length1", B, S::Msi, 2),       ssi(253, "msi.length2", B, S::Msi, 3),
    ssi(254, "param_32", F, S::Msi, 4),          ssi(255, "param_2E", F, S::Msi, 5),
    ssi(256, "param_33", B, S::Msi, 6),
    ssi(257, "postal.us_postnet", F, S::Postal, 1), ssi(258, "postal.us_planet", F, S::Postal, 2),
    ssi(259, "postal.uk", F, S::Postal, 3),      ssi(260, "param_60", F, S::Postal, 4),
    ssi(261, "postal.japan", F, S::Postal, 5),   ssi(262, "postal.australian", F, S::Postal, 6),
    ssi(263, "postal.dutch", F, S::Postal, 7),   ssi(264, "param_5F", F, S::Postal, 8),
    ssi(265, "rss.rss14", F, S::Rss, 1),         ssi(266, "rss.limited", F, S::Rss, 2),
    ssi(267, "rss.expanded", F, S::Rss, 3),      ssi(268, "param_F0_8D", F, S::Rss, 4),
    ssi(269, "param_F0_55", F, S::Composite, 1), ssi(270, "param_F0_56", F, S::Composite, 2),
    ssi(271, "composite.tlc39", F, S::Composite, 3), ssi(272, "param_F0_58", B, S::Composite, 4),
    ssi(273, "param_F0_AB", F, S::Composite, 6),
    ssi(274, "2d.pdf417", F, S::TwoD, 1),        ssi(275, "2d.micro_pdf", F, S::TwoD, 2),
    ssi(276, "param_7B", F, S::TwoD, 3),         ssi(277, "2d.data_matrix", F, S::TwoD, 4),
    ssi(278, "2d.maxicode", F, S::TwoD, 5),      ssi(279, "2d.qr_code", F, S::TwoD, 6),
    ssi(280, "param_BC", FieldKind::UpToTwo, S::OptionBC, 1, Coding::CappedAtTwo),
    ssi(281, "param_B8", F, S::OptionBC, 2),
    ssi(282, "param_E9", F, S::OptionBC, 3, Coding::NonzeroAsTwo),
    ssi(283, "scan_time", B, S::ScanTime, 1),    ssi(284, "param_89", B, S::ScanTime, 2),
    ssi(285, "param_F0_29", F, S::OptionF029, 1), ssi(286, "param_F0_2A", F, S::OptionF029, 2),
    ssi(287, "param_F0_32", B, S::OptionF029, 3), ssi(288, "param_F0_A6", B, S::OptionF029, 4),
    ssi(289, "param_F0_AD", B, S::OptionF029, 5),
    ssi(290, "param_2D", B, S::Format, 1),
};
// clang-format on

// One engine section: meaningful only when an engine of its kind is fitted.
struct EngineSection {
  int engineKind;  // the engine's DeviceKind: 2 text engine, 3 and 4 the SSI variants
  int first;       // the bytes it spans
  int last;
  std::span<const EngineField> fields;
};

inline constexpr EngineSection kTextEngineSection{2, 1, 82, kTextEngineFields};
inline constexpr EngineSection kSsiEngine4Section{4, 101, 168, kSsiEngine4Fields};
inline constexpr EngineSection kSsiEngine3Section{3, 191, 290, kSsiEngine3Fields};
inline constexpr const EngineSection *kEngineSections[] = {&kTextEngineSection, &kSsiEngine4Section,
                                                           &kSsiEngine3Section};

// The library's own options (and byte 0), present whatever is fitted.
enum class Option : std::uint8_t {
  DeviceMask,  // set by the library from the fitted engine; not taken back
  RfidOutputUid,
  RfidOutputData,
  RfidDataSeparator,
  AutoReadStart,
  AutoReadLength,
  AutoReadKey,
  GoodReadSound,
  SpareOption,
  VibrateTime,
  KeyboardOutput,
  TerminatorPosition,
  TerminatorChar,
  OutputPrefix,
  OutputSuffix,
  OutputTypeCode,
  OutputLength,
  GoodReadSignalTime,
  GoodReadIndicatorTime,
  GoodReadIndicatorMode,
};

// The kind says how the library codes it too: a StartAddress byte of 255
// stands for -1; a VibrateTime byte counts only when its switch byte is
// nonzero, and the switch reports whether the time is; a Text field holds at
// most size - 1 characters and a terminating 0; every other byte is the
// option's low 8 bits.
struct OptionField {
  std::uint16_t offset;
  const char *name;  // readerctl's
  FieldKind kind;
  Option option;
  std::uint8_t size = 1;  // bytes, with a text's terminating 0
};

inline constexpr int kVibrateSwitchByte = 344;

// clang-format off
inline constexpr OptionField kOptionFields[] = {
    {0, "device_mask", FieldKind::DeviceMask, Option::DeviceMask},
    {311, "rfid_output_uid", F, Option::RfidOutputUid},
    {312, "rfid_output_data", F, Option::RfidOutputData},
    {314, "rfid_data_separator", B, Option::RfidDataSeparator},
    {318, "auto_read_start", FieldKind::StartAddress, Option::AutoReadStart},
    {319, "auto_read_length", B, Option::AutoReadLength},
    {321, "auto_read_key", FieldKind::Text, Option::AutoReadKey, 15},
    {342, "good_read_sound", B, Option::GoodReadSound},
    {343, "spare_option", B, Option::SpareOption},
    {345, "vibrate_time", FieldKind::VibrateTime, Option::VibrateTime},
    {346, "keyboard_output", F, Option::KeyboardOutput},
    {347, "terminator_position", B, Option::TerminatorPosition},
    {348, "terminator_char", B, Option::TerminatorChar},
    {349, "prefix", FieldKind::Text, Option::OutputPrefix, 11},
    {360, "suffix", FieldKind::Text, Option::OutputSuffix, 11},
    {371, "output_type_code", F, Option::OutputTypeCode},
    {372, "output_length", F, Option::OutputLength},
    {373, "good_read_signal_time", B, Option::GoodReadSignalTime},
    {374, "good_read_indicator_time", B, Option::GoodReadIndicatorTime},
    {375, "good_read_indicator_mode", B, Option::GoodReadIndicatorMode},
};
// clang-format on
inline constexpr int kFirstOptionByte = 311;
inline constexpr int kLastOptionByte = 375;

// The offset of the field with this name in a section; -1 when none has it.
constexpr int offsetOf(std::span<const EngineField> fields, const char *name) {
  auto same = [](const char *a, const char *b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
  };
  for (const EngineField &f : fields)
    if (f.name != nullptr && same(f.name, name)) return f.offset;
  return -1;
}

// ---- What a layout fault would break, caught where it is written ------------

// Within its section, in record order (so no byte is two fields), and the
// coding the library applies fits the values readerctl lets through.
constexpr bool wellFormed(const EngineSection &section) {
  int previous = section.first - 1;
  for (const EngineField &f : section.fields) {
    if (f.offset <= previous || f.offset > section.last || f.parameter == 0) return false;
    previous = f.offset;
    const bool paired = f.coding == Coding::OnPlusValue || f.coding == Coding::LengthMode;
    if (paired != (f.second != 0)) return false;
    if ((f.coding == Coding::OnPlusValue) != (f.kind == FieldKind::OnWithValue)) return false;
    if ((f.coding == Coding::LengthMode) != (f.kind == FieldKind::LengthMode)) return false;
    if ((f.coding == Coding::CappedAtTwo) != (f.kind == FieldKind::UpToTwo)) return false;
    if (f.otherParameter != 0 && f.coding != Coding::Plain) return false;
    if (f.kind == FieldKind::DeviceMask || f.kind == FieldKind::Text || f.kind == FieldKind::StartAddress ||
        f.kind == FieldKind::VibrateTime)
      return false;
  }
  return true;
}
static_assert(wellFormed(kTextEngineSection));
static_assert(wellFormed(kSsiEngine4Section));
static_assert(wellFormed(kSsiEngine3Section));
static_assert(0 < kTextEngineSection.first && kTextEngineSection.last < kSsiEngine4Section.first &&
              kSsiEngine4Section.last < kSsiEngine3Section.first && kSsiEngine3Section.last < kFirstOptionByte &&
              kLastOptionByte < kSettingsRecordBytes);

// Byte 0 first, then the options in record order, each text within the
// section, the vibration switch a byte of its own.
constexpr bool optionsWellFormed() {
  int end = 0;
  bool first = true;
  for (const OptionField &o : kOptionFields) {
    if (first) {
      if (o.offset != 0 || o.kind != FieldKind::DeviceMask || o.option != Option::DeviceMask) return false;
      first = false;
      end = kFirstOptionByte;
      continue;
    }
    if (o.offset < end || o.offset + o.size - 1 > kLastOptionByte) return false;
    if ((o.kind == FieldKind::Text) != (o.size > 1) || o.kind == FieldKind::DeviceMask) return false;
    if (o.offset <= kVibrateSwitchByte && kVibrateSwitchByte < o.offset + o.size) return false;
    end = o.offset + o.size;
  }
  return kFirstOptionByte <= kVibrateSwitchByte && kVibrateSwitchByte <= kLastOptionByte;
}
static_assert(optionsWellFormed());

}  // namespace record_layout

}  // namespace reader
