// Bitmap resources: LoadBitmapA makes a device-dependent bitmap from an RT_BITMAP resource
// (a DIB without its file header).
#include <cstdint>
#include <cstring>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"
#include "platform/wingdi.h"

HBITMAP LoadBitmapA(HINSTANCE instance, LPCSTR name) {
    if (!instance) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr; // no predefined system bitmaps
    }
    HRSRC res = FindResourceA(instance, name, RT_BITMAP);
    if (!res)
        return nullptr;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, res)));
    DWORD size = SizeofResource(instance, res);
    if (!data || size < sizeof(BITMAPINFOHEADER))
        return nullptr;
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > size || header.biWidth <= 0 ||
        header.biHeight == 0 || header.biPlanes != 1)
        return nullptr;
    DWORD colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8)
        colours = 1u << header.biBitCount;
    if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof(BITMAPINFOHEADER))
        colours = 3;
    std::uint64_t offset = std::uint64_t(header.biSize) + std::uint64_t(colours) * 4;
    std::uint64_t stride = ((std::uint64_t(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    std::uint64_t rows = std::uint64_t(header.biHeight < 0 ? -std::int64_t(header.biHeight)
                                                           : std::int64_t(header.biHeight));
    if (header.biCompression == BI_RGB && offset + stride * rows > size)
        return nullptr;
    if (offset > size)
        return nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bmp = CreateDIBitmap(screen, &header, CBM_INIT, data + offset,
                                 reinterpret_cast<const BITMAPINFO*>(data), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bmp;
}
