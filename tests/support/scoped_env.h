// Sets (or, for nullptr, unsets) an environment variable for a scope, and
// puts back what was there before.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace testing_support {

class ScopedEnv {
 public:
  ScopedEnv(const char *name, const char *value) : name_(name) {
    if (const char *old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

 private:
  void set(const char *value) { value != nullptr ? ::setenv(name_.c_str(), value, 1) : ::unsetenv(name_.c_str()); }
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace testing_support
