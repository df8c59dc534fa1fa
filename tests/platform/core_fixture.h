// Each core test runs in its own temporary device root, with the test hooks
// of the platform reset before and after.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/core.h"
#include "tests/support/temp_device_root.h"

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The root itself is made by the platform on first use.
    temp_ = std::make_unique<TempDeviceRoot>("device");
    root_ = temp_->host();
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
    temp_.reset();
    ReloadRegistryForTests();
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

  std::unique_ptr<TempDeviceRoot> temp_;

  std::string root_;
};

inline std::string Narrow(const WCHAR* text) { return Utf16ToUtf8(text); }
