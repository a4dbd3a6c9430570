// Pictures and graphics. A TGraphic is an image of some file format (bitmap, GIF ...)
// that reads and writes its own data; a TPicture owns at most one graphic and stores it
// in form streams as the binary defined property "Data": one length byte n (0 to 63), the
// graphic's class name in n bytes, then the graphic's own data. The graphic format list
// maps class names and file extensions to graphic classes, the clipboard format list maps
// clipboard formats to them; graphic libraries register their classes at start-up.
//
// Drawing needs a canvas of the graphics library, which sits above this one: TCanvas is
// only declared here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "formstream/Persistent.h"
#include "platform/windef.h"
#include "rtl/Types.h"

namespace graphics {
class TCanvas;
}

namespace formstream {

using graphics::TCanvas;

enum TProgressStage : std::uint8_t { psStarting, psRunning, psEnding };

// Progress of a long graphic operation: (Sender, Stage, PercentDone, RedrawNow, R, Msg).
using TProgressEvent =
    TEvent<TObject*, TProgressStage, std::uint8_t, bool, const rtl::TRect&, const std::string&>;

class TGraphic : public TInterfacedPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    TGraphic() = default;

    void DefineProperties(TFiler& filer) override;

    // Sets the modified flag and tells the change event, with this graphic as sender.
    virtual void Changed(TObject* sender);
    virtual void Draw(TCanvas* canvas, const rtl::TRect& rect);
    // Both empty, or of the same class and writing the same data.
    virtual bool Equals(TGraphic* graphic);
    virtual bool GetEmpty() const;
    virtual std::int32_t GetHeight() const;
    virtual std::int32_t GetWidth() const;
    virtual HPALETTE GetPalette() const { return nullptr; }
    virtual bool GetTransparent() const { return FTransparent; }
    virtual void ReadData(rtl::TStream& stream) { LoadFromStream(stream); }
    virtual void WriteData(rtl::TStream& stream) { SaveToStream(stream); }
    virtual void SetHeight(std::int32_t value);
    virtual void SetWidth(std::int32_t value);
    virtual void SetPalette(HPALETTE) {}
    // Stores a new value and signals the change.
    virtual void SetTransparent(bool value);
    virtual void LoadFromFile(const std::string& fileName);
    virtual void SaveToFile(const std::string& fileName);
    virtual void LoadFromStream(rtl::TStream& stream);
    virtual void SaveToStream(rtl::TStream& stream);
    virtual void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
    virtual void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette);

    bool Empty() const { return GetEmpty(); }
    std::int32_t Width() const { return GetWidth(); }
    std::int32_t Height() const { return GetHeight(); }
    bool Transparent() const { return GetTransparent(); }
    bool Modified() const { return FModified; }
    void SetModified(bool value);
    bool PaletteModified() const { return FPaletteModified; }
    void SetPaletteModified(bool value) { FPaletteModified = value; }

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

protected:
    // Tells the progress event (sender: this graphic).
    void Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone, bool redrawNow,
                  const rtl::TRect& r, const std::string& msg);
    bool FTransparent = false;

private:
    bool FModified = false;
    bool FPaletteModified = false;
};

// Something told after a picture's change event (an owner that is no event handler).
class IChangeNotifier {
public:
    virtual ~IChangeNotifier() = default;
    virtual void Changed() = 0;
};

class TPicture : public TInterfacedPersistent {
public:
    static const TClassInfo ClassInfo;
    TClass ClassType() const override { return &ClassInfo; }

    TPicture();
    ~TPicture() override;

    TGraphic* Graphic() const { return FGraphic; }
    // Stores a copy of `graphic` (a new graphic of its class, assigned from it), or none.
    void SetGraphic(TGraphic* graphic);
    std::int32_t Width() const { return FGraphic ? FGraphic->Width() : 0; }
    std::int32_t Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // The graphic as an instance of `graphicClass`: when it is not one, it is replaced by
    // an empty graphic of that class (the bitmap, icon and metafile accessors).
    TGraphic* GraphicOfClass(TClass graphicClass);

    void Assign(TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;

    // The "Data" block: class name, then the graphic's data. An unknown class name gives
    // an empty picture; a name longer than 63 bytes raises EReadError "Invalid property
    // value"; a graphic that fails to read its data leaves the old graphic in place.
    void ReadPictureData(rtl::TStream& stream);
    void WritePictureData(rtl::TStream& stream);

    // Loads a file through the graphic class registered for its extension.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette);

    // Runs the change event (sender: the picture), then the notifier.
    virtual void Changed(TObject* sender);
    virtual void Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                          bool redrawNow, const rtl::TRect& r, const std::string& msg);

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;
    IChangeNotifier* Notify = nullptr;

protected:
    void AssignTo(TPersistent* dest) override;

private:
    void ReplaceGraphic(TGraphic* graphic, bool bindChange);
    void ReadData(rtl::TStream& stream) { ReadPictureData(stream); }
    void WriteData(rtl::TStream& stream) { WritePictureData(stream); }
    TGraphic* FGraphic = nullptr;
};

// --- the graphic format list and the clipboard format list

struct TFileFormat {
    TClass GraphicClass;
    std::string Extension; // lower case, without the dot
    std::string Description;
    int DescriptionResId = 0;
};

void RegisterGraphicFormat(std::string_view extension, std::string_view description,
                           TClass graphicClass);
void RegisterGraphicClipboardFormat(UINT format, TClass graphicClass);
// Removes every entry of `graphicClass` or of a class descending from it from both lists.
void UnregisterGraphicFormat(TClass graphicClass);
// Searches the format list from the newest entry to the oldest for a class whose name is
// exactly `name` (case included).
TClass FindGraphicClassByName(std::string_view name);
// The class registered for a file extension (without the dot, any case), or null.
TClass FindGraphicClassByExtension(std::string_view extension);
TClass FindGraphicClassByClipboardFormat(UINT format);
// Copies of the lists, for tools and tests.
std::vector<TFileFormat> GraphicFormats();

} // namespace formstream
