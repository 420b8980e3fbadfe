#pragma once

#include <filesystem>
#include <string>
#include <system_error>

// The file operations on the panel's own files that another program or user can make fail:
// reading the settings (a file the user may not read), and renaming (a log viewer or a virus
// scanner that holds a file open keeps Windows from moving or replacing it). They go through
// here so that a test can play those failures, which tests running as root cannot make.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The file's bytes; a Failure when it cannot be opened or read, saying why.
  virtual std::string ReadWholeFile(const std::filesystem::path& path) const;
  // Gives `from` the name `to`, replacing a file of that name.
  virtual void Rename(const std::filesystem::path& from, const std::filesystem::path& to,
                      std::error_code& error) const;
};

// The file system in use: the machine's own, unless a test has put another in place.
const FileSystem& Files();

// Puts another file system in place for as long as it lives.
class FilesReplaced {
 public:
  explicit FilesReplaced(const FileSystem& files);
  ~FilesReplaced();
  FilesReplaced(const FilesReplaced&) = delete;
  FilesReplaced& operator=(const FilesReplaced&) = delete;

 private:
  const FileSystem* previous_;
};
