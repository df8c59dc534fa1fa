// A fresh device root folder for one test, removed afterwards; the root
// in use before it comes back (other tests keep one root for the process).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/device_paths.h"

class TempDeviceRoot {
 public:
  TempDeviceRoot() : previous_(GetDeviceRoot()) {
    char pattern[] = "/tmp/sorvi-engine-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    if (made) host_ = made;
    SetDeviceRoot(host_.c_str());
  }
  ~TempDeviceRoot() {
    SetDeviceRoot(previous_.c_str());
    std::error_code ignored;
    if (!host_.empty()) std::filesystem::remove_all(host_, ignored);
  }
  TempDeviceRoot(const TempDeviceRoot&) = delete;
  TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

  const std::string& host() const { return host_; }

 private:
  std::string previous_;
  std::string host_;
};
