// Slots and operations whose panels are still to be built. Each moves to its
// panel's file when that panel is built; this file then shrinks to nothing.
#include "window/mainwindow.h"

