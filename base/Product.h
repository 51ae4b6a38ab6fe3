#pragma once

// Names the program shows and stores under; also the settings section name.
inline constexpr const char kProductName[] = "Zq Vandrell";
inline constexpr const char kMainWindowClass[] = "Zq Vandrell";
