// The program's version, set by the build from the project's version.
#ifndef KAVREL_PLATFORM_VERSION_H
#define KAVREL_PLATFORM_VERSION_H

#include <string_view>

#ifndef KAVREL_VERSION
#define KAVREL_VERSION "0.0.0"
#endif

namespace kavrel {

inline constexpr std::string_view kProgramVersion = KAVREL_VERSION;

}  // namespace kavrel

#endif
