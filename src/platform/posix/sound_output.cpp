#include "platform/posix/sound_output.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/alsa_library.h"
#include "platform/posix/signal_tone.h"
#include "platform/posix/sound_player.h"
#include "platform/posix/terminal_config.h"
#include "platform/posix/wav_file.h"

namespace reader::platform::posix {
namespace {

constexpr std::uint32_t kFlagAsync = 0x1;  // SND_ASYNC
constexpr std::uint32_t kFlagLoop = 0x8;   // SND_LOOP

constexpr std::uint32_t kSignalCommand = 0x1122;
constexpr int kCommandOffset = 4;
constexpr int kSwitchOffset = 16;

// A good-read sound is a second or two; a file far larger is a mistake, not
// something to read into memory after every decode.
constexpr off_t kMaxSoundFileBytes = 32 << 20;
// How long a synchronous caller waits beyond the sound's own length.
constexpr auto kSyncGrace = std::chrono::seconds(10);

std::uint32_t le32(const std::uint8_t (&record)[20], int offset) {
  return static_cast<std::uint32_t>(record[offset]) | static_cast<std::uint32_t>(record[offset + 1]) << 8 |
         static_cast<std::uint32_t>(record[offset + 2]) << 16 | static_cast<std::uint32_t>(record[offset + 3]) << 24;
}

std::optional<std::string> setting(const char *name) {
  std::optional<std::string> value = terminalSetting(name);
  if (value && value->empty()) value.reset();
  return value;
}

std::string alsaDevice() { return setting("READER_ALSA_DEVICE").value_or("default"); }

bool isRegularFile(const std::string &path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// A 32-bit build lists directories with 64-bit cookies and inode numbers
// (the build's _FILE_OFFSET_BITS=64): else listings end early on many
// filesystems.
static_assert(sizeof(dirent::d_off) == 8 && sizeof(dirent::d_ino) == 8, "build with _FILE_OFFSET_BITS=64");

// READER_SOUND_DIR/<name>, else <name>.wav; else either matched without
// regard to case (the library's names come from a system whose file names
// ignore case).
std::optional<std::string> findSoundFile(const std::string &dir, const std::string &name) {
  const std::string withExtension = name + ".wav";
  for (const std::string *candidate : {&name, &withExtension}) {
    if (isRegularFile(dir + '/' + *candidate)) return dir + '/' + *candidate;
  }
  DIR *listing = opendir(dir.c_str());
  if (listing == nullptr) return std::nullopt;
  std::optional<std::string> found;
  for (const dirent *entry = readdir(listing); entry != nullptr && !found; entry = readdir(listing)) {
    for (const std::string *candidate : {&name, &withExtension}) {
      if (strcasecmp(entry->d_name, candidate->c_str()) == 0 && isRegularFile(dir + '/' + entry->d_name)) {
        found = dir + '/' + entry->d_name;
        break;
      }
    }
  }
  closedir(listing);
  return found;
}

// The whole file; nullopt with `problem` set when it cannot be read.
std::optional<std::vector<std::uint8_t>> readSoundFile(const std::string &path, std::string &problem) {
  // Non-blocking: a FIFO put in the sound folder must not hang the open.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  std::optional<std::vector<std::uint8_t>> bytes;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    problem = "not a file";
  } else if (status.st_size > kMaxSoundFileBytes) {
    problem = "larger than " + std::to_string(kMaxSoundFileBytes >> 20) + " MiB";
  } else {
    bytes.emplace(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < bytes->size()) {
      const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        problem = std::strerror(errno);
        bytes.reset();
        break;
      }
      if (got == 0) {  // shrank since fstat: what was read is all there is
        bytes->resize(done);
        break;
      }
      done += static_cast<std::size_t>(got);
    }
  }
  close(fd);
  return bytes;
}

const AlsaLibrary *loadAlsa() {
  std::string problem;
  const AlsaLibrary *alsa = alsaLibrary(problem);
  if (alsa == nullptr) reportTerminalProblem(problem);
  return alsa;
}

bool playFile(const char *path, std::uint32_t flags) {
  const std::optional<std::string> dir = setting("READER_SOUND_DIR");
  if (!dir) return false;  // no sound files on this terminal
  std::string name = path;
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  if (name.empty() || name == "." || name == "..") {
    reportTerminalProblem(std::string("sound \"") + path + "\": no file name: not played");
    return false;
  }
  const std::optional<std::string> file = findSoundFile(*dir, name);
  if (!file) {
    reportTerminalProblem("sound \"" + name + "\": no such file in " + *dir + " (READER_SOUND_DIR): not played");
    return false;
  }
  std::string problem;
  const std::optional<std::vector<std::uint8_t>> bytes = readSoundFile(*file, problem);
  std::optional<PcmSound> sound;
  if (bytes) sound = parseWav(bytes->data(), bytes->size(), problem);
  if (!sound) {
    reportTerminalProblem("sound " + *file + ": " + problem + ": not played");
    return false;
  }
  const AlsaLibrary *alsa = loadAlsa();
  if (alsa == nullptr) return false;
  const bool async = (flags & kFlagAsync) != 0;
  const auto length = std::chrono::milliseconds(sound->frames() * 1000 / sound->rate);
  SoundRequest request;
  request.sound = std::make_shared<const PcmSound>(std::move(*sound));
  request.device = alsaDevice();
  request.alsa = alsa;
  request.kind = SoundKind::file;
  request.loop = async && (flags & kFlagLoop) != 0;  // a synchronous loop would never return
  const std::uint64_t number = startPlaying(std::move(request));
  if (number != 0 && !async) waitPlayingDone(number, length + kSyncGrace);
  return number != 0;
}

}  // namespace

bool playSoundFile(const char *path, std::uint32_t flags) {
  if (path == nullptr) {
    stopPlaying();
    return true;
  }
  try {
    return playFile(path, flags);
  } catch (const std::bad_alloc &) {  // the sound is not played
    return false;
  }
}

bool playAudioRecord(const std::uint8_t (&record)[20]) {
  if (le32(record, kCommandOffset) != kSignalCommand) return false;  // the indicator: a light, not a sound
  if (!setting("READER_SOUND_DIR") && !setting("READER_ALSA_DEVICE")) return false;
  if (le32(record, kSwitchOffset) == 0) {
    stopPlayingTone();
    return true;
  }
  try {
    const AlsaLibrary *alsa = loadAlsa();
    if (alsa == nullptr) return false;
    static const auto tone = std::make_shared<const PcmSound>(makeSignalTone());
    SoundRequest request;
    request.sound = tone;
    request.device = alsaDevice();
    request.alsa = alsa;
    request.kind = SoundKind::tone;
    return startPlaying(std::move(request)) != 0;
  } catch (const std::bad_alloc &) {
    return false;
  }
}

}  // namespace reader::platform::posix
