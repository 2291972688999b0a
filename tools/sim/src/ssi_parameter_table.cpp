#include "readersim/ssi_parameter_table.h"

#include <array>

namespace readersim::ssi {
namespace {

constexpr bool k3 = true;
constexpr bool k4 = true;
constexpr bool no = false;

constexpr ParameterNumber F0(std::uint8_t second) { return twoByte(second); }

// Defaults are those of an engine fresh from the factory. A few differ on
// purpose from the set-up a host applies at start (Code 39 lengths 2-55,
// Codabar off, EAN 0x53 off, Composite and some Postal codes off, 0x4D = 1,
// and the six general options), so that set-up has something to change.
// clang-format off
constexpr std::array kTable = std::to_array<ParameterDefault>({
    // Code 39
    {0x00, 1, k3, k4}, {0x0D, 0, k3, k4}, {0x56, 0, k3, k4}, {0xE7, 0, k3, k4}, {0x30, 0, k3, k4},
    {0x2B, 0, k3, k4}, {0x11, 0, k3, k4}, {0x12, 2, k3, k4}, {0x13, 55, k3, k4},
    // UPC (0x44 exists on kind 3 only)
    {0x01, 1, k3, k4}, {0x02, 1, k3, k4}, {0x0C, 0, k3, k4}, {0x10, 0, k3, k4}, {0x50, 10, k3, k4},
    {0x28, 1, k3, k4}, {0x29, 1, k3, k4}, {0x2A, 1, k3, k4}, {0x22, 1, k3, k4}, {0x23, 1, k3, k4},
    {0x24, 1, k3, k4}, {0x25, 0, k3, k4}, {0x26, 0, k3, k4}, {0x55, 0, k3, k4}, {0x44, 0, k3, no},
    // EAN
    {0x04, 1, k3, k4}, {0x03, 1, k3, k4}, {0x53, 0, k3, k4}, {0x27, 0, k3, k4},
    // Code 128
    {0x08, 1, k3, k4}, {0x0E, 1, k3, k4}, {0x54, 1, k3, k4},
    // Code 93
    {0x09, 0, k3, k4}, {0x1A, 4, k3, k4}, {0x1B, 55, k3, k4},
    // Code 11
    {0x0A, 0, k3, k4}, {0x34, 0, k3, k4}, {0x2F, 0, k3, k4}, {0x1C, 4, k3, k4}, {0x1D, 55, k3, k4},
    // Interleaved 2 of 5
    {0x06, 1, k3, k4}, {0x16, 14, k3, k4}, {0x17, 0, k3, k4}, {0x31, 0, k3, k4}, {0x2C, 0, k3, k4},
    {0x52, 0, k3, k4},
    // Discrete 2 of 5
    {0x05, 0, k3, k4}, {0x14, 12, k3, k4}, {0x15, 0, k3, k4},
    // Codabar
    {0x07, 0, k3, k4}, {0x18, 5, k3, k4}, {0x19, 55, k3, k4}, {0x36, 0, k3, k4}, {0x37, 0, k3, k4},
    // MSI
    {0x0B, 0, k3, k4}, {0x1E, 4, k3, k4}, {0x1F, 55, k3, k4}, {0x32, 0, k3, k4}, {0x2E, 0, k3, k4},
    {0x33, 1, k3, k4},
    // Postal (kind 3 only)
    {0x59, 1, k3, no}, {0x5A, 1, k3, no}, {0x5B, 0, k3, no}, {0x60, 0, k3, no}, {F0(0x22), 0, k3, no},
    {F0(0x23), 0, k3, no}, {F0(0x46), 0, k3, no}, {0x5F, 0, k3, no},
    // RSS
    {F0(0x52), 1, k3, k4}, {F0(0x53), 1, k3, k4}, {F0(0x54), 1, k3, k4}, {F0(0x8D), 0, k3, k4},
    // Composite (kind 3 only)
    {F0(0x55), 0, k3, no}, {F0(0x56), 0, k3, no}, {F0(0x73), 0, k3, no}, {F0(0x58), 0, k3, no},
    {F0(0x8E), 0, k3, no}, {F0(0xAB), 0, k3, no},
    // 2D
    {0x0F, 1, k3, k4}, {0xE3, 1, k3, k4}, {0x7B, 0, k3, k4}, {F0(0x24), 1, k3, k4}, {F0(0x26), 0, k3, k4},
    {F0(0x25), 1, k3, k4},
    // Redundancy and security
    {0x4E, 1, k3, k4}, {0x4D, 1, k3, k4}, {F0(0x7D), 6, k3, k4},
    // Options
    {0xBC, 0, k3, k4}, {0xB8, 0, k3, k4}, {0xE9, 0, k3, k4},
    {F0(0x29), 0, k3, k4}, {F0(0x2A), 0, k3, k4}, {F0(0x32), 0, k3, k4}, {F0(0xA6), 0, k3, k4},
    {F0(0xAD), 0, k3, k4}, {0x5D, 0, k3, k4},
    // Data format
    {0x2D, 0, k3, k4}, {0x69, 0, k3, k4}, {0x68, 0, k3, k4}, {0x6A, 0, k3, k4}, {0xEB, 0, k3, k4},
    {0x5E, 0, k3, k4},
    // Scan timing (0xBF and 0x43 are read by kind-4 hosts)
    {0x88, 0x63, k3, k4}, {0x89, 10, k3, k4}, {0xBF, 0, k3, k4}, {0x43, 0, k3, k4},
    // General options a host sets when it takes over the engine
    {0x8A, 0x00, k3, k4}, {0xEC, 0x01, k3, k4}, {0xEE, 0x00, k3, k4}, {0x9B, 0x0A, k3, k4},
    {0x9F, 0x00, k3, k4}, {0xED, 0x01, k3, k4},
    // Link speed: 9600 after power-up
    {kLinkSpeed, 6, k3, k4},
});
// clang-format on

}  // namespace

std::span<const ParameterDefault> parameterTable() { return kTable; }

std::map<ParameterNumber, std::uint8_t> defaultParameters(int kind) {
  std::map<ParameterNumber, std::uint8_t> parameters;
  for (const auto &entry : kTable) {
    if (kind == 3 ? entry.onKind3 : entry.onKind4) parameters[entry.number] = entry.value;
  }
  return parameters;
}

}  // namespace readersim::ssi
