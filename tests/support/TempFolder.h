#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "setup/FilePath.h"

// A fresh, empty folder for one test, named after it and the process so that tests running in
// parallel never share files; removed with everything in it when the test ends. Names given
// to it are relative to the folder. Its name holds letters beyond ASCII, as a user's own
// settings folder may ("Zoë", "山田"), so every test of the files also proves that the panel
// reaches them through such a folder.
class TempFolder {
 public:
  TempFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string owner = std::string(test->test_suite_name()) + "-" + test->name();
    for (char& c : owner) c = c == '/' ? '_' : c;  // a parameterised test's name holds slashes
    path_ = std::filesystem::temp_directory_path() /
            FilePath("qev-" + owner + "-" + std::to_string(::getpid()) + " Zoë 山田");
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The folder as the panel holds it: UTF-8, ending in the platform's separator.
  std::string WithSeparator() const { return Text() + kFolderSeparator; }
  std::string Text() const { return Utf8Text(path_); }
  std::filesystem::path File(const std::filesystem::path& name) const { return path_ / name; }
  bool Exists(const std::filesystem::path& name) const {
    return std::filesystem::exists(File(name));
  }

  void Write(const std::filesystem::path& name, std::string_view bytes) const {
    std::ofstream file(File(name), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // The whole file, or nothing when there is none.
  std::string Read(const std::filesystem::path& name) const {
    std::ifstream file(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};
