// One load of the reader module with dlopen, and the exported functions the
// load and unload tests call through it. For executables that must not be
// linked against the module, so that an unload really unloads it.
#pragma once

#include <3100XE_DLL.h>
#include <dlfcn.h>

namespace testing_support {

class LoadedModule {
 public:
  explicit LoadedModule(const char *path) : path_(path) {
    handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) return;
    initReader = symbol<decltype(initReader)>("InitReader");
    haltReader = symbol<decltype(haltReader)>("HaltReader");
    getReaderType = symbol<decltype(getReaderType)>("GetReaderType");
    setTriggerKey = symbol<decltype(setTriggerKey)>("SetTriggerKey");
    getDecodeRfidUid = symbol<decltype(getDecodeRfidUid)>("GetDecodeRfidUID");
    getReaderSettings = symbol<decltype(getReaderSettings)>("GetReaderSettings");
    readRfidData = symbol<decltype(readRfidData)>("ReadRfidData");
    setReaderSettings = symbol<decltype(setReaderSettings)>("SetReaderSettings");
    triggerKey = symbol<decltype(triggerKey)>("ReaderHostTriggerKey");
    dispatch = symbol<decltype(dispatch)>("ReaderHostDispatch");
    setOutputListener = symbol<decltype(setOutputListener)>("ReaderHostSetOutputListener");
    setBroadcastListener = symbol<decltype(setBroadcastListener)>("ReaderHostSetBroadcastListener");
  }
  ~LoadedModule() { unload(); }
  LoadedModule(const LoadedModule &) = delete;
  LoadedModule &operator=(const LoadedModule &) = delete;

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
  int (*getReaderSettings)(unsigned char *) = nullptr;
  int (*readRfidData)(int, char *, unsigned int, int, int, int, const char *) = nullptr;
  int (*setReaderSettings)(const unsigned char *) = nullptr;
  int (*triggerKey)(int, int) = nullptr;
  int (*dispatch)(int) = nullptr;
  void (*setOutputListener)(ReaderOutputListener, void *) = nullptr;
  void (*setBroadcastListener)(ReaderBroadcastListener, void *) = nullptr;

 private:
  template <class F>
  F symbol(const char *name) {
    return reinterpret_cast<F>(dlsym(handle_, name));
  }
  const char *path_;
  void *handle_ = nullptr;
};

}  // namespace testing_support
