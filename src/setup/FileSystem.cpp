#include "setup/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "setup/Failure.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

const FileSystem kMachineFiles{};
const FileSystem* current = &kMachineFiles;

[[noreturn]] void ThrowReadFailure(int error) {
  std::string description = "Path/File access error";
  if (error != 0) description += std::string(": ") + std::strerror(error);
  throw Failure(kFileAccess, description);
}

}  // namespace

std::string FileSystem::ReadWholeFile(const fs::path& path) const {
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) ThrowReadFailure(errno);
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) ThrowReadFailure(errno);
  return content;
}

void FileSystem::Rename(const fs::path& from, const fs::path& to, std::error_code& error) const {
#if defined(_WIN32)
  // A rename and nothing else (the C++ library's may fall back to copying), with Windows' own
  // reason when it is refused: the file is held open, or it is not ours to move.
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error.clear();
  } else {
    error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
  }
#else
  fs::rename(from, to, error);
#endif
}

const FileSystem& Files() {
  return *current;
}

FilesReplaced::FilesReplaced(const FileSystem& files) : previous_(current) {
  current = &files;
}

FilesReplaced::~FilesReplaced() {
  current = previous_;
}
