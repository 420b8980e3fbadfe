#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// A fresh, empty folder for one test, named after it and the process so that tests running in
// parallel never share files; removed with everything in it when the test ends. Names given
// to it are relative to the folder.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The folder as the panel holds it: ending in the separator.
  std::string WithSeparator() const { return path_.string() + "/"; }
  std::filesystem::path File(const std::filesystem::path& name) const { return path_ / name; }

  void Write(const std::filesystem::path& name, std::string_view bytes) const;
  // The whole file, or nothing when there is none.
  std::string Read(const std::filesystem::path& name) const;
  bool Exists(const std::filesystem::path& name) const;

 private:
  std::filesystem::path path_;
};
