#pragma once
// How the running panel names itself to the desktop: its application name (which the X11 window
// class and the settings file follow), its desktop file (so the shell groups the window with its
// menu entry) and its window icon. The demo copy has names and an icon (orange) of its own, so the
// desktop and the taskbar tell it from the real panel.

#include <QIcon>
#include <QString>

namespace desktop {

inline constexpr const char* kDesktopFile = "tarvenik";
inline constexpr const char* kDemoDesktopFile = "tarvenik-demo";
inline constexpr const char* kIconName = "tarvenik";
// The copy built into the program, for a panel run from a build tree or without the icon theme.
inline constexpr const char* kBuiltInIcon = ":/tarvenik/tarvenik.png";
inline constexpr const char* kBuiltInDemoIcon = ":/tarvenik/tarvenik-demo.png";

// The application and desktop file name of the real panel or its demo copy.
QString ApplicationName(bool demo);

// The built-in copy of an icon.
QIcon BuiltInIcon(const char* resource = kBuiltInIcon);
// The panel's icon from the installed theme, else the built-in copy.
QIcon PanelIcon();

// Needs a QGuiApplication; call before the window is made.
void Identify(bool demo);
// The window icon, for after the first frame: the panel's from the theme, else the built-in copy;
// the demo's built-in one (no theme has it).
void SetWindowIcon(bool demo);

} // namespace desktop
