// The vibrator of a Linux terminal, named by READER_VIBRATOR:
//   led:<dir>    an LED-class device (/sys/class/leds/vibrator): brightness
//                max_brightness (or 1) is on, 0 off;
//   timed:<dir>  a timed-output device (/sys/class/timed_output/vibrator):
//                enable 60000 (ms) is on, 0 off;
//   ff:<path>    a force-feedback input device (/dev/input/eventN): a rumble
//                effect is uploaded and played while on, stopped at off.
// Off unless configured. The library ends every vibration with "off"; the
// 60 s of "on" only bound a vibration whose "off" never comes. Safe from any
// thread.
#pragma once

namespace reader::platform::posix {

// Switches the configured vibrator; false when none is configured or it failed.
bool driveVibrator(bool on);

}  // namespace reader::platform::posix
