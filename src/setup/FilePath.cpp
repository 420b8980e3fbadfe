#include "setup/FilePath.h"

bool IsFolderSeparator(char c) {
#if defined(_WIN32)
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

std::string WithFolderSeparator(const std::string& folder) {
  if (!folder.empty() && IsFolderSeparator(folder.back())) return folder;
  return folder + kFolderSeparator;
}

std::filesystem::path FilePath(std::string_view utf8) {
  const std::u8string text(utf8.begin(), utf8.end());
  return std::filesystem::path(text);
}

std::string Utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
