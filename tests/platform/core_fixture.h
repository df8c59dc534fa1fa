// Each core test runs in its own temporary device root, with the test hooks
// of the platform reset before and after.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core.h"

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "sorvi-core-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern + "/device";
    SetDeviceRoot(root_.c_str());
    ReloadRegistryForTests();
    ClearFileErrorInjection();
    ClearLocalHeapFailure();
    SetRegistryOpenFailure(nullptr, 0);
  }
  void TearDown() override {
    ClearFileErrorInjection();
    ClearLocalHeapFailure();
    SetRegistryOpenFailure(nullptr, 0);
    UninstallVirtualClock();
    UnseedRandomForTests();
    SetDeviceRoot(nullptr);
    ReloadRegistryForTests();
    std::filesystem::remove_all(std::filesystem::path(root_).parent_path());
  }

  // Host path of a device path relative to the root ("My Documents/a.txt").
  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }

  void WriteHostFile(const std::string& relative, const std::string& content) const {
    std::filesystem::create_directories(std::filesystem::path(Host(relative)).parent_path());
    std::ofstream(Host(relative), std::ios::binary) << content;
  }

  std::string ReadHostFile(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string root_;
};

inline std::string Narrow(const WCHAR* text) { return Utf16ToUtf8(text); }
