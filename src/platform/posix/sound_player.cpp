#include "platform/posix/sound_player.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/posix/terminal_config.h"
#include "platform/thread.h"

namespace reader::platform::posix {
namespace {

constexpr unsigned kChunkMs = 20;         // how soon a stop is noticed
constexpr unsigned kLatencyUs = 100'000;  // the device's buffer
constexpr int kBlocking = 0;              // snd_pcm_open mode
constexpr int kMaxFailures = 8;           // writes in a row that play nothing

class Player {
 public:
  ~Player() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
      cancelBelow_ = ++lastNumber_;
    }
    changed_.notify_all();
    thread_.reset();  // joins
  }

  std::uint64_t start(SoundRequest request) {
    std::unique_lock lock(mutex_);
    if (!ensureThread()) return 0;
    const std::uint64_t number = ++lastNumber_;
    cancelBelow_ = number;
    pending_ = Pending{number, std::move(request)};
    lock.unlock();
    changed_.notify_all();
    return number;
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      cancelBelow_ = ++lastNumber_;
      pending_.reset();
    }
    changed_.notify_all();
  }

  void stopTone() {
    {
      std::lock_guard lock(mutex_);
      if (pending_ && pending_->request.kind == SoundKind::tone) pending_.reset();
      if (playing_ && playingKind_ == SoundKind::tone) cancelBelow_ = std::max(cancelBelow_, playingNumber_ + 1);
    }
    changed_.notify_all();
  }

  bool waitDone(std::uint64_t number, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
      return !(pending_ && pending_->number == number) && !(playing_ && playingNumber_ == number);
    });
  }

  bool waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return !pending_ && !playing_; });
  }

 private:
  struct Pending {
    std::uint64_t number;
    SoundRequest request;
  };

  // Holds mutex_. A thread that has gone (the process forked since) is started anew.
  bool ensureThread() {
    if (thread_ && !thread_->finished()) return true;
    thread_.reset();
    quit_ = false;
    thread_ = Thread::start([this] { run(); }, "reader-sound");
    if (!thread_) reportTerminalProblem("sound: cannot start the sound thread: no sounds are played");
    return thread_ != nullptr;
  }

  void run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return quit_ || pending_; });
      if (quit_) return;
      Pending next = std::move(*pending_);
      pending_.reset();
      playing_ = true;
      playingNumber_ = next.number;
      playingKind_ = next.request.kind;
      lock.unlock();
      play(next.number, next.request);
      next.request.sound.reset();
      lock.lock();
      playing_ = false;
      changed_.notify_all();
    }
  }

  bool cancelled(std::uint64_t number) {
    std::lock_guard lock(mutex_);
    return number < cancelBelow_;
  }

  void play(std::uint64_t number, const SoundRequest &request) {
    const AlsaLibrary &alsa = *request.alsa;
    const PcmSound &sound = *request.sound;
    const std::string where = "sound: ALSA device \"" + request.device + "\": ";
    AlsaPcm *pcm = nullptr;
    int error = alsa.pcmOpen(&pcm, request.device.c_str(), kAlsaStreamPlayback, kBlocking);
    if (error < 0 || pcm == nullptr) {
      reportTerminalProblem(where + "cannot open it (" + alsa.errorText(error) + "): no sounds are played");
      return;
    }
    const int format = sound.bitsPerSample == 8 ? kAlsaFormatU8 : kAlsaFormatS16Le;
    error = alsa.pcmSetParams(pcm, format, kAlsaAccessRwInterleaved, sound.channels, sound.rate, 1, kLatencyUs);
    if (error < 0) {
      reportTerminalProblem(where + "cannot play " + std::to_string(sound.bitsPerSample) + "-bit " +
                            std::to_string(sound.channels) + "-channel sound at " + std::to_string(sound.rate) +
                            " Hz (" + alsa.errorText(error) + ")");
      alsa.pcmClose(pcm);
      return;
    }
    const std::size_t frames = sound.frames();
    const std::size_t chunk = std::max<std::size_t>(1, sound.rate / (1000 / kChunkMs));
    bool ended = true;  // played to the end: drained rather than dropped
    int failures = 0;   // in a row
    do {
      for (std::size_t done = 0; done < frames;) {
        if (cancelled(number)) {
          ended = false;
          break;
        }
        const std::size_t count = std::min(chunk, frames - done);
        const long written = alsa.pcmWritei(pcm, sound.samples.data() + done * sound.frameBytes(), count);
        if (written > 0) {
          done += static_cast<std::size_t>(written);
          failures = 0;
          continue;
        }
        // An underrun (the thread was late) or a suspend is recovered and the
        // sound carries on; a device that keeps failing ends it.
        const int failure = written < 0 ? static_cast<int>(written) : -EIO;
        if (++failures > kMaxFailures || alsa.pcmRecover(pcm, failure, 1) < 0) {
          reportTerminalProblem(where + "playing failed (" + alsa.errorText(failure) + ")");
          ended = false;
          break;
        }
      }
    } while (ended && request.loop && frames > 0);
    if (ended) {
      alsa.pcmDrain(pcm);
    } else {
      alsa.pcmDrop(pcm);
    }
    alsa.pcmClose(pcm);
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<Thread> thread_;
  bool quit_ = false;
  std::optional<Pending> pending_;
  std::uint64_t lastNumber_ = 0;
  std::uint64_t cancelBelow_ = 0;  // requests numbered below it stop
  bool playing_ = false;
  std::uint64_t playingNumber_ = 0;
  SoundKind playingKind_ = SoundKind::file;
};

Player &player() {
  static Player instance;  // its end (at exit or unload) stops and joins the thread
  return instance;
}

}  // namespace

std::uint64_t startPlaying(SoundRequest request) {
  if (!request.sound || request.alsa == nullptr) return 0;
  return player().start(std::move(request));
}

void stopPlaying() { player().stop(); }

void stopPlayingTone() { player().stopTone(); }

bool waitPlayingDone(std::uint64_t number, std::chrono::milliseconds timeout) {
  return player().waitDone(number, timeout);
}

bool waitSoundIdle(std::chrono::milliseconds timeout) { return player().waitIdle(timeout); }

}  // namespace reader::platform::posix
