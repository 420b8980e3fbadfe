#include "setup/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "setup/Failure.h"

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
  fs::rename(from, to, error);
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
