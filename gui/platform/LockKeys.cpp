#include "gui/platform/LockKeys.h"

#include <QGuiApplication>

#ifdef TREMOLUX_HAVE_X11
#include <QtGui/qguiapplication_platform.h>

// Xlib after Qt: its macros (None, Bool, Status, ...) would break Qt headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

#ifdef TREMOLUX_HAVE_X11
namespace {

// Indicator names of the XKB keyboard description; the lamps follow the
// locked modifiers, so they tell the lock state whatever the keymap.
const char* IndicatorName(LockKey key) {
  switch (key) {
    case LockKey::Caps:
      return "Caps Lock";
    case LockKey::Num:
      return "Num Lock";
    case LockKey::Scroll:
      return "Scroll Lock";
  }
  return "";
}

Display* X11Display() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->display() : nullptr;
}

}  // namespace
#endif

std::optional<bool> ReadLockKey(LockKey key) {
#ifdef TREMOLUX_HAVE_X11
  Display* display = X11Display();
  if (!display) return std::nullopt;
  // Atoms are interned once per name; the display lives as long as the app.
  static Atom atoms[3] = {};
  Atom& atom = atoms[static_cast<int>(key)];
  if (atom == 0) atom = XInternAtom(display, IndicatorName(key), False);
  int on = 0;
  if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) return std::nullopt;
  return on != 0;
#else
  (void)key;
  return std::nullopt;
#endif
}
