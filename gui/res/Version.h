#pragma once

// The program's identity as the desktop sees it: the settings location
// (organisation and application name), the version reported to Qt and the
// texts of the About box.
namespace Res {

inline constexpr const char* kOrganizationName = "Vandrel";  // settings: ~/.config/Vandrel/
inline constexpr const char* kApplicationName = "Tremolux";  // settings: Tremolux.conf
inline constexpr const char* kVersion = "1.0.0.1";           // file and product version
inline constexpr const char* kDesktopFileName = "tremolux";  // gui/res/tremolux.desktop

inline constexpr const char* kAboutCaption = "About Tremolux";
inline constexpr const char* kAboutVersionLine = "Tremolux Version 1.00";
inline constexpr const char* kAboutLegalNotice = "Copyright (C) 2025 Vandrel";

}  // namespace Res
