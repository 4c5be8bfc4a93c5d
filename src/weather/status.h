#pragma once
// The texts of the tray icon.

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view kConnectingTip = "Connecting...";
inline constexpr std::string_view kWelcomeTitle = "Welcome to Skyvane!";
inline constexpr std::string_view kWelcomeText = "Click this balloon box to search for a hometown.";

// The tip field's capacity, terminator included.
inline constexpr std::size_t kTipSize = 128;

// "<name> <degrees>°<unit>", the degree sign being the single byte 0xB0. The
// result always fits the tip field: a long name is shortened, with "...",
// so the temperature and the unit stay visible.
std::string tooltipText(std::string_view locationName, std::string_view temperatureText,
                        bool metric);
