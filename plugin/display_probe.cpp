#include "plugin/display_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

bool x11_platform_unreachable() {
  const char* platform = getenv("QT_QPA_PLATFORM");
  if (platform && *platform && strncmp(platform, "xcb", 3) != 0) return false;  // the user chose
  const char* display = getenv("DISPLAY");
  if (!display || !*display) return true;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool failed = xcb_connection_has_error(connection) != 0;
  xcb_disconnect(connection);
  return failed;
}
