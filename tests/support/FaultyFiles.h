#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

#include "setup/Failure.h"
#include "setup/FilePath.h"
#include "setup/FileSystem.h"

// The machine's file system, in place for as long as this lives, except for the files named
// (by their last part): a `held` file is held open by another program (a log viewer, a virus
// scanner), so it can neither be renamed nor be replaced by a rename; an `unreadable` one is
// another user's. Tests run as root, which no permission stops.
class FaultyFiles : public FileSystem {
 public:
  FaultyFiles() : replaced_(*this) {}

  std::string ReadWholeFile(const std::filesystem::path& path) const override {
    if (unreadable.contains(Utf8Text(path.filename()))) {
      throw Failure(kFileAccess, "Path/File access error: Permission denied");
    }
    return FileSystem::ReadWholeFile(path);
  }
  void Rename(const std::filesystem::path& from, const std::filesystem::path& to,
              std::error_code& error) const override {
    if (held.contains(Utf8Text(from.filename())) || held.contains(Utf8Text(to.filename()))) {
      error = std::make_error_code(std::errc::permission_denied);
      ++refused;
      return;
    }
    FileSystem::Rename(from, to, error);
  }

  std::set<std::string> held;
  std::set<std::string> unreadable;
  mutable int refused = 0;  // renames refused

 private:
  FilesReplaced replaced_;
};
