#pragma once
// The weather service's scheme and host, without a trailing slash; a build
// setting compiled in as a constant.

#include <string_view>

inline constexpr std::string_view kServiceBaseUrl = SKYVANE_SERVICE_BASE_URL;
