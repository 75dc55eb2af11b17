#include "host/text/os_info.h"

#include <sys/utsname.h>

namespace vl {

OSVersion GetOSVersion() {
  OSVersion v;
  struct utsname uts {};
  if (uname(&uts) != 0) return v;
  v.platform = uts.sysname;
  // The release reads "6.1.0-18-amd64": major, minor, then the rest.
  std::string release = uts.release;
  size_t dot1 = release.find('.');
  v.major = release.substr(0, dot1);
  if (dot1 == std::string::npos) return v;
  size_t dot2 = release.find('.', dot1 + 1);
  v.minor =
      release.substr(dot1 + 1, dot2 == std::string::npos ? std::string::npos : dot2 - dot1 - 1);
  if (dot2 != std::string::npos) v.build = release.substr(dot2 + 1);
  return v;
}

}  // namespace vl
