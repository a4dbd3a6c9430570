// Window-manager part of the API subset: window classes and procedures, windows,
// the message queue, timers, input, cursors, message boxes, clipboard, system metrics.
// The drawing functions that the real API keeps in USER32 (FillRect, DrawTextA,
// DrawEdge, GetSysColor ...) are declared in wingdi.h with the rest of the drawing.
#pragma once

#include "platform/windef.h"
