// The clipboard, kept inside the process: registered formats and their data handles.
#include <cctype>
#include <map>
#include <string>

#include "platform/user/WindowManager.h"
#include "platform/winbase.h"
#include "platform/wingdi.h"

namespace {

struct Clipboard {
    std::map<std::string, UINT> Formats; // upper-case name -> number
    UINT NextFormat = 0xC000;
    bool Open = false;
    HWND OpenedBy = nullptr;
    HWND Owner = nullptr;
    std::map<UINT, HANDLE> Data;
};

Clipboard& Clip() {
    static Clipboard clipboard;
    return clipboard;
}

void FreeData(UINT format, HANDLE h) {
    if (!h)
        return;
    switch (format) {
    case CF_BITMAP:
    case CF_PALETTE:
        DeleteObject(static_cast<HGDIOBJ>(h));
        break;
    case CF_ENHMETAFILE:
        break;
    default:
        GlobalFree(h);
        break;
    }
}

} // namespace

UINT RegisterClipboardFormatA(LPCSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key;
    for (const char* p = name; *p; ++p)
        key += char(std::toupper(static_cast<unsigned char>(*p)));
    Clipboard& c = Clip();
    auto it = c.Formats.find(key);
    if (it != c.Formats.end())
        return it->second;
    if (c.NextFormat > 0xFFFF)
        return 0;
    UINT id = c.NextFormat++;
    c.Formats[key] = id;
    return id;
}

BOOL OpenClipboard(HWND owner) {
    Clipboard& c = Clip();
    if (c.Open)
        return c.OpenedBy == owner ? TRUE : FALSE;
    if (owner && !IsWindow(owner))
        return FALSE;
    c.Open = true;
    c.OpenedBy = owner;
    return TRUE;
}

BOOL CloseClipboard() {
    Clipboard& c = Clip();
    if (!c.Open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    c.Open = false;
    c.OpenedBy = nullptr;
    return TRUE;
}

BOOL EmptyClipboard() {
    Clipboard& c = Clip();
    if (!c.Open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    for (auto& [format, h] : c.Data)
        FreeData(format, h);
    c.Data.clear();
    c.Owner = c.OpenedBy;
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    Clipboard& c = Clip();
    if (!c.Open || format == 0) {
        SetLastError(c.Open ? ERROR_INVALID_PARAMETER : ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    auto it = c.Data.find(format);
    if (it != c.Data.end() && it->second != data)
        FreeData(format, it->second);
    c.Data[format] = data;
    return data;
}

HANDLE GetClipboardData(UINT format) {
    Clipboard& c = Clip();
    if (!c.Open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return nullptr;
    }
    auto it = c.Data.find(format);
    return it == c.Data.end() ? nullptr : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    return Clip().Data.count(format) ? TRUE : FALSE;
}

UINT EnumClipboardFormats(UINT format) {
    Clipboard& c = Clip();
    if (!c.Open) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return 0;
    }
    auto it = format == 0 ? c.Data.begin() : c.Data.upper_bound(format);
    SetLastError(ERROR_SUCCESS);
    return it == c.Data.end() ? 0 : it->first;
}

HWND GetClipboardOwner() {
    return Clip().Owner;
}
