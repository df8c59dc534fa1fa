// A device root folder of the test's own, made with mkdtemp under the
// temporary folder (the build tree's, as CTest sets TMPDIR) and removed
// with everything in it afterwards; the root in use before comes back.
#pragma once

#include <filesystem>
#include <string>

// Tests that change roots map paths with these.
#include "platform/device_paths.h"

class TempDeviceRoot {
 public:
  // `sub`: the device root is that folder inside the temporary one, not yet
  // made (for tests of how the platform makes its root).
  explicit TempDeviceRoot(const char* sub = nullptr);
  ~TempDeviceRoot();
  TempDeviceRoot(const TempDeviceRoot&) = delete;
  TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

  // The device root's host path; empty when mkdtemp failed (the test has
  // failed then).
  const std::string& host() const { return root_; }
  std::filesystem::path path() const { return root_; }
  // Host path of a path relative to the root ("My Documents/a.txt").
  std::string Host(const std::string& relative) const { return root_ + "/" + relative; }

 private:
  std::string previous_;
  std::string folder_;  // what mkdtemp made
  std::string root_;
};
