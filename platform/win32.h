// The chief header of the platform layer: the subset of the Windows API that the
// framework uses, with the real API's names, types, constant values and semantics.
// On Windows this header would include <windows.h> and <mmsystem.h> instead.
#pragma once

#include "platform/mmsystem.h"
#include "platform/winbase.h"
#include "platform/windef.h"
#include "platform/wingdi.h"
#include "platform/winuser.h"
