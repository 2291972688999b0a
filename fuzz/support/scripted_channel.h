// The channel a parser target drives: the process's one ReaderDevice, one of
// its channels set up afresh for each input with a scripted port
// (scripted_serial_port.h) in place of the serial port, so the library's own
// exchange and framing code reads the input's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/reader_device.h"
#include "support/scripted_serial_port.h"

namespace readerfuzz {

// The device every target shares. Options a target depends on are set by
// the target for each input.
reader::ReaderDevice &fuzzDevice();

// Puts the channel back to its start state (kind `kind`, empty texts, device
// options off), then gives it a scripted port serving `script`.
std::shared_ptr<ScriptedSerialPort> attachScript(reader::DeviceChannel &channel, int kind, const std::uint8_t *script,
                                                 std::size_t size);

// Takes the port off the channel again; the channel keeps nothing of the
// input.
void detachScript(reader::DeviceChannel &channel);

}  // namespace readerfuzz
