// Where the window can be shown.
#pragma once

// True when Qt would use its X11 platform and no X display answers: the
// window must then run offscreen rather than let Qt abort the process.
bool x11_platform_unreachable();
