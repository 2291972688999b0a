// One load of the reader module with dlopen, and the exported functions a
// load and unload run calls through it.
#pragma once

#include <3100XE_DLL.h>
#include <dlfcn.h>

namespace soak_testing {

class LoadedReader {
 public:
  explicit LoadedReader(const char *path) : path_(path) {
    handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    initReader = symbol<decltype(initReader)>("InitReader");
    haltReader = symbol<decltype(haltReader)>("HaltReader");
    getReaderType = symbol<decltype(getReaderType)>("GetReaderType");
    setTriggerKey = symbol<decltype(setTriggerKey)>("SetTriggerKey");
    getDecodeRfidUid = symbol<decltype(getDecodeRfidUid)>("GetDecodeRfidUID");
    triggerKey = symbol<decltype(triggerKey)>("ReaderHostTriggerKey");
    dispatch = symbol<decltype(dispatch)>("ReaderHostDispatch");
    setBroadcastListener = symbol<decltype(setBroadcastListener)>("ReaderHostSetBroadcastListener");
  }
  ~LoadedReader() { unload(); }
  LoadedReader(const LoadedReader &) = delete;
  LoadedReader &operator=(const LoadedReader &) = delete;

  bool loaded() const { return handle_ != nullptr && initReader != nullptr && setBroadcastListener != nullptr; }

  // Unloads and tells whether the module is really gone from the process.
  bool unload() {
    if (handle_ == nullptr) return true;
    dlclose(handle_);
    handle_ = nullptr;
    void *still = dlopen(path_, RTLD_NOW | RTLD_NOLOAD);
    if (still == nullptr) return true;
    dlclose(still);
    return false;
  }

  int (*initReader)() = nullptr;
  int (*haltReader)(int) = nullptr;
  int (*getReaderType)() = nullptr;
  int (*setTriggerKey)(int) = nullptr;
  int (*getDecodeRfidUid)(char *, int) = nullptr;
  int (*triggerKey)(int, int) = nullptr;
  int (*dispatch)(int) = nullptr;
  void (*setBroadcastListener)(ReaderBroadcastListener, void *) = nullptr;

 private:
  template <class F>
  F symbol(const char *name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  const char *path_;
  void *handle_ = nullptr;
};

}  // namespace soak_testing
