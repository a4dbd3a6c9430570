#include "formstream/Graphic.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "rtl/Exceptions.h"
#include "rtl/Stream.h"

namespace formstream {

constinit const TClassInfo TGraphic::ClassInfo =
    ClassInfoOf<TGraphic, TInterfacedPersistent>("TGraphic");
constinit const TClassInfo TPicture::ClassInfo =
    ClassInfoOf<TPicture, TInterfacedPersistent>("TPicture");

namespace {

constexpr std::size_t kMaxClassNameLength = 63;

struct TFormatLists {
    std::mutex Lock;
    std::vector<TFileFormat> Files;
    std::vector<std::pair<UINT, TClass>> Clipboard;
};

TFormatLists& Lists() {
    static TFormatLists lists;
    return lists;
}

} // namespace

// --- TGraphic

void TGraphic::Changed(TObject*) {
    FModified = true;
    OnChange(this);
}

void TGraphic::SetModified(bool value) {
    if (value)
        Changed(this);
    else
        FModified = false;
}

void TGraphic::Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                        bool redrawNow, const rtl::TRect& r, const std::string& msg) {
    OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}

void TGraphic::Draw(TCanvas*, const rtl::TRect&) {
    throw rtl::EAbstractError();
}
bool TGraphic::GetEmpty() const {
    throw rtl::EAbstractError();
}
std::int32_t TGraphic::GetHeight() const {
    throw rtl::EAbstractError();
}
std::int32_t TGraphic::GetWidth() const {
    throw rtl::EAbstractError();
}
void TGraphic::SetHeight(std::int32_t) {
    throw rtl::EAbstractError();
}
void TGraphic::SetWidth(std::int32_t) {
    throw rtl::EAbstractError();
}
void TGraphic::LoadFromStream(rtl::TStream&) {
    throw rtl::EAbstractError();
}
void TGraphic::SaveToStream(rtl::TStream&) {
    throw rtl::EAbstractError();
}
void TGraphic::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE) {
    throw rtl::EAbstractError();
}
void TGraphic::SaveToClipboardFormat(UINT&, HANDLE&, HPALETTE&) {
    throw rtl::EAbstractError();
}

void TGraphic::SetTransparent(bool value) {
    if (value != FTransparent) {
        FTransparent = value;
        Changed(this);
    }
}

bool TGraphic::Equals(TGraphic* graphic) {
    if (!graphic)
        return false;
    if (GetEmpty() || graphic->GetEmpty())
        return GetEmpty() && graphic->GetEmpty();
    if (ClassType() != graphic->ClassType())
        return false;
    rtl::TMemoryStream mine, theirs;
    WriteData(mine);
    graphic->WriteData(theirs);
    return mine.Size() == theirs.Size() &&
           (mine.Size() == 0 || std::memcmp(mine.Memory(), theirs.Memory(),
                                            static_cast<std::size_t>(mine.Size())) == 0);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
    rtl::TFileStream stream(fileName, rtl::fmOpenRead | rtl::fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) {
    rtl::TFileStream stream(fileName, rtl::fmCreate);
    SaveToStream(stream);
}

void TGraphic::DefineProperties(TFiler& filer) {
    bool hasData;
    if (auto* ancestor = DynCast<TGraphic>(filer.Ancestor()))
        hasData = !Equals(ancestor);
    else if (filer.Ancestor())
        hasData = true;
    else
        hasData = !GetEmpty();
    filer.DeclareBinaryProperty("Data", TStreamProc::Of<&TGraphic::ReadData>(this),
                                TStreamProc::Of<&TGraphic::WriteData>(this), hasData);
}

// --- TPicture

TPicture::TPicture() {
    // The lists exist from the first picture on (they are made on first use).
    (void)Lists();
}

TPicture::~TPicture() {
    FreeAndNil(FGraphic);
}

// Stores `graphic` (owned) in place of the old one and announces the change once.
void TPicture::ReplaceGraphic(TGraphic* graphic, bool bindChange) {
    TGraphic* old = FGraphic;
    FGraphic = graphic;
    Free(old);
    if (FGraphic) {
        if (bindChange)
            FGraphic->OnChange = TNotifyEvent::Of<&TPicture::Changed>(this);
        FGraphic->OnProgress = TProgressEvent::Of<&TPicture::Progress>(this);
    }
    Changed(this);
}

void TPicture::SetGraphic(TGraphic* graphic) {
    TOwned<TGraphic> copy;
    if (graphic) {
        copy.reset(static_cast<TGraphic*>(graphic->ClassType()->Create()));
        copy->Assign(graphic);
    }
    ReplaceGraphic(copy.release(), true);
}

TGraphic* TPicture::GraphicOfClass(TClass graphicClass) {
    if (!FGraphic || !FGraphic->InheritsFrom(graphicClass))
        ReplaceGraphic(static_cast<TGraphic*>(graphicClass->Create()), true);
    return FGraphic;
}

void TPicture::Assign(TPersistent* source) {
    if (!source)
        SetGraphic(nullptr);
    else if (auto* picture = DynCast<TPicture>(source))
        SetGraphic(picture->FGraphic);
    else if (auto* graphic = DynCast<TGraphic>(source))
        SetGraphic(graphic);
    else
        TInterfacedPersistent::Assign(source);
}

void TPicture::AssignTo(TPersistent* dest) {
    if (FGraphic && FGraphic->InheritsFrom(dest->ClassType()))
        dest->Assign(FGraphic);
    else
        TInterfacedPersistent::AssignTo(dest);
}

void TPicture::DefineProperties(TFiler& filer) {
    bool hasData;
    if (auto* ancestor = DynCast<TPicture>(filer.Ancestor())) {
        hasData = !(FGraphic == ancestor->FGraphic ||
                    (FGraphic && ancestor->FGraphic && FGraphic->Equals(ancestor->FGraphic)));
    } else if (filer.Ancestor()) {
        hasData = true;
    } else {
        hasData = FGraphic != nullptr;
    }
    filer.DeclareBinaryProperty("Data", TStreamProc::Of<&TPicture::ReadData>(this),
                                TStreamProc::Of<&TPicture::WriteData>(this), hasData);
}

void TPicture::ReadPictureData(rtl::TStream& stream) {
    const std::uint8_t length = stream.ReadByte();
    if (length > kMaxClassNameLength)
        throw rtl::EReadError(rtl::SInvalidPropertyValue);
    char name[kMaxClassNameLength];
    stream.ReadBuffer(name, length);
    TOwned<TGraphic> graphic;
    if (TClass graphicClass = FindGraphicClassByName(std::string_view(name, length))) {
        graphic.reset(static_cast<TGraphic*>(graphicClass->Create()));
        graphic->ReadData(stream);
    }
    ReplaceGraphic(graphic.release(), true);
}

void TPicture::WritePictureData(rtl::TStream& stream) {
    std::string_view name;
    if (FGraphic)
        name = FGraphic->ClassName().substr(0, kMaxClassNameLength);
    stream.WriteByte(static_cast<std::uint8_t>(name.size()));
    stream.WriteBuffer(name.data(), name.size());
    if (FGraphic)
        FGraphic->WriteData(stream);
}

void TPicture::LoadFromFile(const std::string& fileName) {
    const auto dot = fileName.find_last_of('.');
    const std::string ext = dot == std::string::npos ? std::string() : fileName.substr(dot + 1);
    TClass graphicClass = FindGraphicClassByExtension(ext);
    if (!graphicClass)
        throw rtl::EInvalidGraphic(rtl::SUnknownExtension, ext);
    TOwned<TGraphic> graphic(static_cast<TGraphic*>(graphicClass->Create()));
    graphic->OnProgress = TProgressEvent::Of<&TPicture::Progress>(this);
    graphic->LoadFromFile(fileName);
    ReplaceGraphic(graphic.release(), true);
}

void TPicture::SaveToFile(const std::string& fileName) {
    if (FGraphic)
        FGraphic->SaveToFile(fileName);
}

void TPicture::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    TClass graphicClass = FindGraphicClassByClipboardFormat(format);
    if (!graphicClass)
        throw rtl::EInvalidGraphic(rtl::SUnknownClipboardFormat);
    TOwned<TGraphic> graphic(static_cast<TGraphic*>(graphicClass->Create()));
    graphic->OnProgress = TProgressEvent::Of<&TPicture::Progress>(this);
    graphic->LoadFromClipboardFormat(format, data, palette);
    ReplaceGraphic(graphic.release(), true);
}

void TPicture::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    if (FGraphic)
        FGraphic->SaveToClipboardFormat(format, data, palette);
}

void TPicture::Changed(TObject*) {
    OnChange(this);
    if (Notify)
        Notify->Changed();
}

void TPicture::Progress(TObject* sender, TProgressStage stage, std::uint8_t percentDone,
                        bool redrawNow, const rtl::TRect& r, const std::string& msg) {
    OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}

// --- the lists

void RegisterGraphicFormat(std::string_view extension, std::string_view description,
                           TClass graphicClass) {
    auto& lists = Lists();
    std::lock_guard lock(lists.Lock);
    lists.Files.push_back({graphicClass, rtl::LowerCase(extension), std::string(description), 0});
}

void RegisterGraphicClipboardFormat(UINT format, TClass graphicClass) {
    auto& lists = Lists();
    std::lock_guard lock(lists.Lock);
    lists.Clipboard.emplace_back(format, graphicClass);
}

void UnregisterGraphicFormat(TClass graphicClass) {
    auto& lists = Lists();
    std::lock_guard lock(lists.Lock);
    std::erase_if(lists.Files,
                  [&](const TFileFormat& f) { return f.GraphicClass->InheritsFrom(graphicClass); });
    std::erase_if(lists.Clipboard,
                  [&](const auto& c) { return c.second->InheritsFrom(graphicClass); });
}

TClass FindGraphicClassByName(std::string_view name) {
    auto& lists = Lists();
    std::lock_guard lock(lists.Lock);
    for (auto it = lists.Files.rbegin(); it != lists.Files.rend(); ++it)
        if (it->GraphicClass->Name == name)
            return it->GraphicClass;
    return nullptr;
}

TClass FindGraphicClassByExtension(std::string_view extension) {
    auto& lists = Lists();
    std::lock_guard lock(lists.Lock);
    for (auto it = lists.Files.rbegin(); it != lists.Files.rend(); ++it)
        if (rtl::SameText(it->Extension, extension))
            return it->GraphicClass;
    return nullptr;
}

TClass FindGraphicClassByClipboardFormat(UINT format) {
    auto& lists = Lists();
    std::lock_guard lock(lists.Lock);
    for (const auto& [f, c] : lists.Clipboard)
        if (f == format)
            return c;
    return nullptr;
}

std::vector<TFileFormat> GraphicFormats() {
    auto& lists = Lists();
    std::lock_guard lock(lists.Lock);
    return lists.Files;
}

} // namespace formstream
