#include "tests/support/temp_device_root.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/device_paths.h"

TempDeviceRoot::TempDeviceRoot(const char* sub) : previous_(GetDeviceRoot()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "sorvi-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) {
    ADD_FAILURE() << "mkdtemp failed in " << std::filesystem::temp_directory_path();
    return;
  }
  folder_ = pattern;
  root_ = sub ? folder_ + "/" + sub : folder_;
  SetDeviceRoot(root_.c_str());
}

TempDeviceRoot::~TempDeviceRoot() {
  SetDeviceRoot(previous_.empty() ? nullptr : previous_.c_str());
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}
