// A fresh folder under the test's temporary folder, removed with everything
// in it at the end, permissions taken away by a test included.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace trimbrel::testing_support {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = ::testing::TempDir() + "imaging-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) != nullptr) path_ = buf.data();
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    ::chmod(path_.c_str(), 0700);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }
  // The names in the folder, hidden ones included, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    if (DIR* d = ::opendir(path_.c_str())) {
      while (dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) out.push_back(e->d_name);
      }
      ::closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::string path_;
};

}  // namespace trimbrel::testing_support
