#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The panel carries every folder and file name as UTF-8 text, on every platform: an operator's
// settings folder may hold any letter (a user called Zoë or 山田). The text becomes the
// platform's own path type (wide on Windows) only at the file-system call, never through the
// Windows ANSI code page, which would lose every letter it does not have.

#if defined(_WIN32)
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr char kFolderSeparator = '/';
#endif

// Whether the character ends a folder name: "\" and "/" both do on Windows, where Qt hands
// folders with "/".
bool IsFolderSeparator(char c);

// The folder with exactly the one separator at its end that the panel appends file names to:
// one is added only when the folder does not already end with one.
std::string WithFolderSeparator(const std::string& folder);

std::filesystem::path FilePath(std::string_view utf8);
std::string Utf8Text(const std::filesystem::path& path);
