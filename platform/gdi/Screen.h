// Internal to the platform layer: the screen size that GetDeviceCaps reports for
// HORZRES and VERTRES. The window manager sets it when it learns the screen size.
#pragma once

namespace platform {

void SetGdiScreenSize(int width, int height);

} // namespace platform
