// libasound.so.2 through dlopen. Once loaded it stays loaded: ALSA caches
// its configuration and plugin modules inside the process, and unloading it
// under them gains nothing.
#include "platform/posix/alsa_library.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace reader::platform::posix {
namespace {

constexpr const char *kLibraryName = "libasound.so.2";

std::atomic<const AlsaLibrary *> replacement{nullptr};

template <typename Function>
bool resolve(void *handle, const char *name, Function &function, std::string &missing) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  if (function == nullptr && missing.empty()) missing = name;
  return function != nullptr;
}

struct Loaded {
  AlsaLibrary functions{};
  bool ok = false;
  std::string problem;

  Loaded() {
    void *handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char *reason = dlerror();
      problem = std::string("sound: cannot load ") + kLibraryName + " (" + (reason ? reason : "not found") +
                "): no sounds are played";
      return;
    }
    std::string missing;
    resolve(handle, "snd_pcm_open", functions.pcmOpen, missing);
    resolve(handle, "snd_pcm_set_params", functions.pcmSetParams, missing);
    resolve(handle, "snd_pcm_writei", functions.pcmWritei, missing);
    resolve(handle, "snd_pcm_drain", functions.pcmDrain, missing);
    resolve(handle, "snd_pcm_drop", functions.pcmDrop, missing);
    resolve(handle, "snd_pcm_recover", functions.pcmRecover, missing);
    resolve(handle, "snd_pcm_close", functions.pcmClose, missing);
    resolve(handle, "snd_strerror", functions.errorText, missing);
    if (!missing.empty()) {
      problem = std::string("sound: ") + kLibraryName + " lacks " + missing + ": no sounds are played";
      dlclose(handle);
      return;
    }
    ok = true;
  }
};

}  // namespace

const AlsaLibrary *alsaLibrary(std::string &problem) {
  if (const AlsaLibrary *library = replacement.load()) return library;
  static const Loaded loaded;  // thread-safe, once
  if (!loaded.ok) {
    problem = loaded.problem;
    return nullptr;
  }
  return &loaded.functions;
}

void replaceAlsaLibraryForTests(const AlsaLibrary *library) { replacement = library; }

}  // namespace reader::platform::posix
