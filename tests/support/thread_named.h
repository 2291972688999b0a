// A thread of this process found by the name the system lists it under
// (the library names its threads: "reader-trigger", "reader-scan"...).
#pragma once

#include <dirent.h>

#include <fstream>
#include <optional>
#include <string>

namespace testing_support {

// The system's id of the thread named `name`, if one runs.
inline std::optional<int> threadIdNamed(const std::string &name) {
  std::optional<int> found;
  if (DIR *tasks = ::opendir("/proc/self/task")) {
    while (const dirent *entry = ::readdir(tasks)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
      std::string listed;
      if (std::getline(comm, listed) && listed == name) found = std::stoi(entry->d_name);
    }
    ::closedir(tasks);
  }
  return found;
}

}  // namespace testing_support
