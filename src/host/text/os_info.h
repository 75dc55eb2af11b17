// Operating-system information.
#pragma once

#include <string>

namespace vl {

struct OSVersion {
  std::string platform;  // "Linux"
  std::string major;     // kernel major version
  std::string minor;
  std::string build;
};

OSVersion GetOSVersion();

}  // namespace vl
