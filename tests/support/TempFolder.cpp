#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  static int made = 0;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string owner = test != nullptr ? std::string(test->test_suite_name()) + "-" + test->name()
                                      : "folder" + std::to_string(++made);
  for (char& c : owner) c = c == '/' ? '_' : c;  // a parameterised test's name holds slashes
  path_ = fs::temp_directory_path() / ("qev-" + owner + "-" + std::to_string(::getpid()));
  fs::remove_all(path_);
  fs::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void TempFolder::Write(const fs::path& name, std::string_view bytes) const {
  std::ofstream file(File(name), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempFolder::Read(const fs::path& name) const {
  std::ifstream file(File(name), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

bool TempFolder::Exists(const fs::path& name) const {
  return fs::exists(File(name));
}
