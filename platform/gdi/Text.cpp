// Fonts and text: faces found by name through fontconfig, glyphs rendered anti-aliased
// by FreeType and cached per face and size, with per-character fallback to a face that
// has the character (Hangul to a Korean face).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <future>
#include <map>
#include <string>
#include <unordered_map>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Raster.h"
#include "platform/gdi/Region.h"
#include "platform/phases.h"

namespace platform::gdi {

struct Glyph {
    int Advance = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    std::vector<std::uint8_t> Alpha;
};

struct FontFace {
    std::vector<FT_Face> Faces; // [0] primary, then fallbacks opened on demand
    std::map<std::string, std::size_t> FaceByFile;
    int Em = 12;
    bool SynthBold = false, SynthItalic = false;
    bool Underline = false, StrikeOut = false;
    TEXTMETRICA Tm{};
    std::unordered_map<std::uint32_t, Glyph> Glyphs;
    std::string FamilyName;

    ~FontFace() {
        for (FT_Face f : Faces)
            if (f)
                FT_Done_Face(f);
    }
};

namespace {

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            return FT_Library(nullptr);
        // Full hinting in both directions gives the crisp stems of desktop text.
        FT_UInt version = TT_INTERPRETER_VERSION_35;
        FT_Property_Set(l, "truetype", "interpreter-version", &version);
        return l;
    }();
    return lib;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Faces of the original desktop mapped to installed faces that measure alike.
const char* MappedFamily(const std::string& lowerName) {
    static const std::pair<const char*, const char*> map[] = {
        {"", "Liberation Sans"},
        {"ms sans serif", "Liberation Sans"},
        {"ms shell dlg", "Liberation Sans"},
        {"ms shell dlg 2", "Liberation Sans"},
        {"system", "Liberation Sans"},
        {"arial", "Liberation Sans"},
        {"tahoma", "Liberation Sans"},
        {"franklin gothic medium", "DejaVu Sans"},
        {"times new roman", "Liberation Serif"},
        {"courier new", "Liberation Mono"},
        {"courier", "Liberation Mono"},
        {"gulim", "NanumGothic"},
        {"gulimche", "NanumGothicCoding"},
        {"dotum", "NanumGothic"},
        {"batang", "NanumMyeongjo"},
        {"\xea\xb5\xb4\xeb\xa6\xbc", "NanumGothic"},   // Gulim in Hangul
        {"\xeb\x8f\x8b\xec\x9b\x80", "NanumGothic"},   // Dotum in Hangul
        {"\xeb\xb0\x94\xed\x83\x95", "NanumMyeongjo"}, // Batang in Hangul
    };
    for (const auto& [from, to] : map)
        if (lowerName == from)
            return to;
    return nullptr;
}

struct FaceFile {
    std::string Path;
    int Index = 0;
    bool Bold = false;   // the file itself is bold
    bool Italic = false; // the file itself is slanted
    std::string Family;
};

bool Match(FcPattern* pat, FaceFile& out) {
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* m = FcFontMatch(nullptr, pat, &result);
    if (!m)
        return false;
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    bool ok = FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch;
    if (ok) {
        out.Path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(m, FC_INDEX, 0, &index);
        FcPatternGetInteger(m, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(m, FC_SLANT, 0, &slant);
        if (FcPatternGetString(m, FC_FAMILY, 0, &family) == FcResultMatch)
            out.Family = reinterpret_cast<const char*>(family);
        out.Index = index;
        out.Bold = weight >= FC_WEIGHT_DEMIBOLD;
        out.Italic = slant != FC_SLANT_ROMAN;
    }
    FcPatternDestroy(m);
    return ok;
}

bool FindFamily(const std::string& family, bool bold, bool italic, FaceFile& out) {
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    bool ok = Match(pat, out);
    FcPatternDestroy(pat);
    return ok;
}

bool FindForChar(std::uint32_t cp, FaceFile& out) {
    bool hangul = (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0x1100 && cp <= 0x11FF) ||
                  (cp >= 0x3130 && cp <= 0x318F);
    FcPattern* pat = FcPatternCreate();
    FcPatternAddString(pat, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(hangul ? "NanumGothic" : "sans-serif"));
    FcCharSet* cs = FcCharSetCreate();
    FcCharSetAddChar(cs, cp);
    FcPatternAddCharSet(pat, FC_CHARSET, cs);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    bool ok = Match(pat, out);
    FcCharSetDestroy(cs);
    FcPatternDestroy(pat);
    return ok;
}

FT_Face OpenFace(const std::string& path, int index, int em) {
    FT_Library lib = Library();
    if (!lib)
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), index, &face) != 0)
        return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(em)) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    MarkPhase("font-face");
    return face;
}

int Scaled(long units, int em, int upem, bool ceilIt) {
    double v = double(units) * em / upem;
    return ceilIt ? int(std::ceil(v - 1e-9)) : int(std::lround(v));
}

// fontconfig reads its configuration and its font caches on first use, and FreeType
// starts its modules: several milliseconds, done once on a thread of their own (begun by
// StartFontLookup while the display starts); the first face looked up waits for them.
std::shared_future<bool>& FontLookupReady() {
    static std::shared_future<bool> ready = std::async(std::launch::async, [] {
                                                const bool found = FcInit() == FcTrue;
                                                Library();
                                                MarkPhase("fontconfig");
                                                return found;
                                            }).share();
    return ready;
}

// Finds the file for the requested face: a mapped family, the family itself, then the
// fallbacks for Korean text and for any text.
bool LocateFace(const LOGFONTA& lf, bool bold, bool italic, FaceFile& file) {
    static const bool fcReady = FontLookupReady().get();
    if (!fcReady)
        return false;
    std::string name(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    std::string lower = Lower(name);
    if (const char* mapped = MappedFamily(lower))
        return FindFamily(mapped, bold, italic, file);
    bool found = FindFamily(name, bold, italic, file) && Lower(file.Family) == lower;
    if (!found && lf.lfCharSet == HANGUL_CHARSET)
        found = FindFamily("NanumGothic", bold, italic, file);
    if (!found)
        found = FindFamily("Liberation Sans", bold, italic, file);
    if (!found)
        found = FindFamily("sans-serif", bold, italic, file);
    return found;
}

// Design metrics of a face in font units; the defaults stand in when no face is found.
struct DesignMetrics {
    int Upem = 2048;
    long WinAscent = 1854, WinDescent = 434;
    long LineGap = 0;
    long AvgWidth = 1024;
    long MaxAdvance = 0;
    bool HasFace = false, Fixed = false;
};

DesignMetrics ReadDesignMetrics(bool found, const FaceFile& file) {
    DesignMetrics m;
    FT_Face probe = found ? OpenFace(file.Path, file.Index, 12) : nullptr;
    if (!probe)
        return m;
    m.HasFace = true;
    m.Upem = probe->units_per_EM;
    m.WinAscent = probe->ascender;
    m.WinDescent = -probe->descender;
    m.AvgWidth = m.Upem / 2;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(probe, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF) {
        m.WinAscent = os2->usWinAscent;
        m.WinDescent = os2->usWinDescent;
        if (os2->xAvgCharWidth > 0)
            m.AvgWidth = os2->xAvgCharWidth;
    }
    m.LineGap = std::max<long>(0, probe->height - (m.WinAscent + m.WinDescent));
    m.MaxAdvance = probe->max_advance_width;
    m.Fixed = FT_IS_FIXED_WIDTH(probe);
    FT_Done_Face(probe);
    return m;
}

// Em size from the requested height: negative = character height (em), positive =
// cell height (ascent + descent).
int EmFromHeight(LONG height, const DesignMetrics& m) {
    int em = 12;
    if (height < 0)
        em = -height;
    else if (height > 0)
        em = std::max(1, int(std::lround(double(height) * m.Upem / (m.WinAscent + m.WinDescent))));
    return std::clamp(em, 1, 2048);
}

void FillTextMetrics(const LOGFONTA& lf, const DesignMetrics& m, int em, TEXTMETRICA& tm) {
    if (lf.lfHeight > 0) {
        tm.tmHeight = std::min<LONG>(lf.lfHeight, 4096);
        tm.tmAscent = Scaled(m.WinAscent, em, m.Upem, false);
        tm.tmDescent = tm.tmHeight - tm.tmAscent;
    } else {
        tm.tmAscent = Scaled(m.WinAscent, em, m.Upem, true);
        tm.tmDescent = Scaled(m.WinDescent, em, m.Upem, true);
        tm.tmHeight = tm.tmAscent + tm.tmDescent;
    }
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - em);
    tm.tmExternalLeading = Scaled(m.LineGap, em, m.Upem, false);
    tm.tmAveCharWidth = std::max(1, Scaled(m.AvgWidth, em, m.Upem, false));
    tm.tmMaxCharWidth = std::max(1, m.HasFace ? Scaled(m.MaxAdvance, em, m.Upem, false) : em);
    tm.tmWeight = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x1E;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = lf.lfItalic != 0 ? 0xFF : 0;
    tm.tmUnderlined = lf.lfUnderline != 0 ? 0xFF : 0;
    tm.tmStruckOut = lf.lfStrikeOut != 0 ? 0xFF : 0;
    tm.tmPitchAndFamily = BYTE((m.Fixed ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE |
                               (m.Fixed ? FF_MODERN : FF_SWISS));
    tm.tmCharSet = lf.lfCharSet;
}

std::shared_ptr<FontFace> BuildFace(const LOGFONTA& lf) {
    auto ff = std::make_shared<FontFace>();
    bool bold = lf.lfWeight >= FW_SEMIBOLD;
    bool italic = lf.lfItalic != 0;
    FaceFile file;
    MarkPhase("font-asked");
    bool found = LocateFace(lf, bold, italic, file);
    MarkPhase("font-match");
    ff->SynthBold = bold && !file.Bold;
    ff->SynthItalic = italic && !file.Italic;
    ff->Underline = lf.lfUnderline != 0;
    ff->StrikeOut = lf.lfStrikeOut != 0;
    ff->FamilyName = file.Family;
    DesignMetrics metrics = ReadDesignMetrics(found, file);
    ff->Em = EmFromHeight(lf.lfHeight, metrics);
    FillTextMetrics(lf, metrics, ff->Em, ff->Tm);
    if (found) {
        FT_Face face = OpenFace(file.Path, file.Index, ff->Em);
        if (face) {
            ff->Faces.push_back(face);
            ff->FaceByFile[file.Path + "#" + std::to_string(file.Index)] = 0;
        }
    }
    return ff;
}

std::string FaceKey(const LOGFONTA& lf) {
    std::string k = Lower(std::string(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE)));
    k += "|" + std::to_string(lf.lfHeight) + "|" + std::to_string(lf.lfWeight >= FW_SEMIBOLD) +
         "|" + std::to_string(lf.lfItalic != 0) + "|" + std::to_string(lf.lfUnderline != 0) + "|" +
         std::to_string(lf.lfStrikeOut != 0) + "|" + std::to_string(lf.lfCharSet);
    return k;
}

std::map<std::string, std::shared_ptr<FontFace>>& FaceCache() {
    static auto* cache = new std::map<std::string, std::shared_ptr<FontFace>>;
    return *cache;
}

FontFace& FaceOf(DC& dc) {
    Font* font = dc.St.SelFont.get();
    if (!font) {
        dc.St.SelFont = std::static_pointer_cast<Font>(StockObject(SYSTEM_FONT));
        font = dc.St.SelFont.get();
    }
    if (!font->Face) {
        auto& cache = FaceCache();
        std::string key = FaceKey(font->Log);
        auto it = cache.find(key);
        if (it == cache.end()) {
            // Faces hold open font files: drop those no font object uses any more.
            if (cache.size() >= 32)
                std::erase_if(cache,
                              [](const auto& entry) { return entry.second.use_count() == 1; });
            it = cache.emplace(key, BuildFace(font->Log)).first;
        }
        font->Face = it->second;
    }
    return *font->Face;
}

bool RenderGlyph(FontFace& ff, FT_Face face, FT_UInt index, Glyph& g) {
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0)
        return false;
    FT_GlyphSlot slot = face->glyph;
    if (ff.SynthItalic)
        FT_GlyphSlot_Oblique(slot);
    if (ff.SynthBold)
        FT_GlyphSlot_Embolden(slot);
    g.Advance = int((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return true; // spacing glyph without outline
    const FT_Bitmap& bm = slot->bitmap;
    g.Left = slot->bitmap_left;
    g.Top = slot->bitmap_top;
    g.Width = int(bm.width);
    g.Height = int(bm.rows);
    g.Alpha.resize(std::size_t(g.Width) * std::size_t(g.Height));
    for (int y = 0; y < g.Height; ++y) {
        const unsigned char* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
        for (int x = 0; x < g.Width; ++x) {
            std::uint8_t a;
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                a = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            else
                a = row[x];
            g.Alpha[std::size_t(y) * std::size_t(g.Width) + std::size_t(x)] = a;
        }
    }
    return true;
}

const Glyph& GlyphOf(FontFace& ff, std::uint32_t cp) {
    auto it = ff.Glyphs.find(cp);
    if (it != ff.Glyphs.end())
        return it->second;
    Glyph g;
    bool done = false;
    if (cp == '\t' || cp == '\r' || cp == '\n')
        cp = ' ';
    for (FT_Face face : ff.Faces) {
        FT_UInt index = FT_Get_Char_Index(face, cp);
        if (index && RenderGlyph(ff, face, index, g)) {
            done = true;
            break;
        }
    }
    if (!done && !ff.Faces.empty()) {
        FaceFile file;
        if (FindForChar(cp, file)) {
            std::string key = file.Path + "#" + std::to_string(file.Index);
            if (!ff.FaceByFile.count(key)) {
                FT_Face face = OpenFace(file.Path, file.Index, ff.Em);
                ff.FaceByFile[key] = face ? ff.Faces.size() : std::size_t(-1);
                if (face)
                    ff.Faces.push_back(face);
            }
            std::size_t fi = ff.FaceByFile[key];
            if (fi != std::size_t(-1)) {
                FT_UInt index = FT_Get_Char_Index(ff.Faces[fi], cp);
                if (index)
                    done = RenderGlyph(ff, ff.Faces[fi], index, g);
            }
        }
        if (!done) // the face's missing-glyph box
            done = RenderGlyph(ff, ff.Faces[0], 0, g);
    }
    if (!done)
        g.Advance = std::max(1, ff.Em / 2);
    if (ff.Glyphs.size() > 8192)
        ff.Glyphs.clear();
    return ff.Glyphs.emplace(cp, std::move(g)).first->second;
}

// UTF-8 to code points; bytes that do not form UTF-8 stand for themselves (Latin-1).
// `starts` receives the byte offset of each code point.
void Decode(const char* text, int length, std::vector<std::uint32_t>& cps,
            std::vector<int>* starts) {
    cps.clear();
    if (starts)
        starts->clear();
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    int i = 0;
    while (i < length) {
        unsigned c = s[i];
        int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        std::uint32_t cp = c;
        if (n > 0) {
            bool ok = true;
            std::uint32_t v = c & (0x3Fu >> n);
            for (int k = 1; k <= n; ++k) {
                if (i + k >= length || (s[i + k] & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                v = (v << 6) | (s[i + k] & 0x3F);
            }
            std::uint32_t least = n == 1 ? 0x80u : n == 2 ? 0x800u : 0x10000u;
            if (ok && v >= least && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF))
                cp = v;
            else
                n = 0;
        } else {
            n = 0;
        }
        if (starts)
            starts->push_back(i);
        cps.push_back(cp);
        i += n + 1;
    }
}

int TextWidth(FontFace& ff, const std::vector<std::uint32_t>& cps) {
    int w = 0;
    for (std::uint32_t cp : cps)
        w += GlyphOf(ff, cp).Advance;
    return w;
}

void BlendGlyph(const PixelGrid& g, const std::vector<RECT>& clip, const Glyph& gl, int ox, int oy,
                std::uint32_t textPix) {
    if (gl.Width == 0 || gl.Height == 0)
        return;
    RECT box{ox, oy, ox + gl.Width, oy + gl.Height};
    std::uint32_t native = g.FromPix(textPix);
    int tr = int((textPix >> 16) & 255), tg = int((textPix >> 8) & 255), tb = int(textPix & 255);
    for (const RECT& c : clip) {
        RECT r = RectIntersect(c, box);
        if (RectEmpty(r))
            continue;
        for (int y = r.top; y < r.bottom; ++y) {
            const std::uint8_t* a = gl.Alpha.data() + std::size_t(y - oy) * std::size_t(gl.Width);
            if (g.Bpp == 32) {
                std::uint32_t* row = reinterpret_cast<std::uint32_t*>(g.Row(y));
                for (int x = r.left; x < r.right; ++x) {
                    int al = a[x - ox];
                    if (al == 0)
                        continue;
                    if (al == 255) {
                        row[x] = textPix;
                        continue;
                    }
                    std::uint32_t d = row[x];
                    int dr = int((d >> 16) & 255), dg = int((d >> 8) & 255), db = int(d & 255);
                    dr += ((tr - dr) * al + 127) / 255;
                    dg += ((tg - dg) * al + 127) / 255;
                    db += ((tb - db) * al + 127) / 255;
                    row[x] =
                        (std::uint32_t(dr) << 16) | (std::uint32_t(dg) << 8) | std::uint32_t(db);
                }
            } else {
                for (int x = r.left; x < r.right; ++x)
                    if (a[x - ox] >= 128)
                        g.Write(x, y, native);
            }
        }
    }
}

// Draws code points with their top-left cell corner at target (x, top).
void DrawRun(DC& dc, FontFace& ff, const std::vector<std::uint32_t>& cps, const int* advances,
             int x, int top, const std::vector<RECT>& clip, bool opaqueCell) {
    PixelGrid g = GridOf(dc);
    int width = 0;
    for (std::size_t i = 0; i < cps.size(); ++i)
        width += advances ? advances[i] : GlyphOf(ff, cps[i]).Advance;
    if (opaqueCell) {
        PatternSource bk = SolidPattern(g, ResolveColor(dc, dc.St.BkColor));
        FillRop(g, clip, RECT{x, top, x + width, top + ff.Tm.tmHeight}, bk, 0xF0);
    }
    std::uint32_t textPix = ResolveColor(dc, dc.St.TextColor);
    int baseline = top + ff.Tm.tmAscent;
    int pen = x;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        const Glyph& gl = GlyphOf(ff, cps[i]);
        BlendGlyph(g, clip, gl, pen + gl.Left, baseline - gl.Top, textPix);
        pen += advances ? advances[i] : gl.Advance;
    }
    int thick = std::max(1, ff.Em / 14);
    PatternSource line = SolidPattern(g, textPix);
    if (ff.Underline) {
        int y = baseline + std::max(1, ff.Tm.tmDescent / 2);
        FillRop(g, clip, RECT{x, y, x + width, y + thick}, line, 0xF0);
    }
    if (ff.StrikeOut) {
        int y = baseline - ff.Tm.tmAscent / 3;
        FillRop(g, clip, RECT{x, y, x + width, y + thick}, line, 0xF0);
    }
}

} // namespace

void StartFontLookup() {
    FontLookupReady();
}

} // namespace platform::gdi

using namespace platform::gdi;

namespace {

// Longest string the text functions take, so that widths cannot overflow.
constexpr int MaxTextLength = 1 << 16;

} // namespace

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
    GdiLock lock(GdiMutex());
    if (!lf)
        return nullptr;
    auto f = std::make_shared<Font>();
    f->Log = *lf;
    f->Log.lfFaceName[LF_FACESIZE - 1] = '\0';
    return reinterpret_cast<HFONT>(AddObject(f));
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (faceName)
        std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

BOOL GetTextMetricsA(HDC hdc, LPTEXTMETRICA tm) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !tm)
        return FALSE;
    *tm = FaceOf(*dc).Tm;
    return TRUE;
}

int GetTextFaceA(HDC hdc, int size, LPSTR name) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !dc->St.SelFont)
        return 0;
    const char* face = dc->St.SelFont->Log.lfFaceName;
    int len = int(strnlen(face, LF_FACESIZE));
    if (!name)
        return len + 1;
    if (size <= 0)
        return 0;
    int n = std::min(len, size - 1);
    std::memcpy(name, face, std::size_t(n));
    name[n] = '\0';
    return n;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int length, LPSIZE size) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !size || length < 0 || length > MaxTextLength || (length > 0 && !text))
        return FALSE;
    FontFace& ff = FaceOf(*dc);
    std::vector<std::uint32_t> cps;
    Decode(text, length, cps, nullptr);
    size->cx = TextWidth(ff, cps);
    size->cy = ff.Tm.tmHeight;
    return TRUE;
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT length,
                 const INT* dx) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || (length > 0 && !text) || length > UINT(MaxTextLength))
        return FALSE;
    FontFace& ff = FaceOf(*dc);
    std::vector<RECT> clip = TargetClip(*dc);
    PixelGrid g = GridOf(*dc);
    if (rect && (options & ETO_OPAQUE)) {
        PatternSource bk = SolidPattern(g, ResolveColor(*dc, dc->St.BkColor));
        FillRop(g, clip, TargetRect(*dc, *rect), bk, 0xF0);
    }
    if (rect && (options & ETO_CLIPPED))
        clip = RectsIntersect(clip, {TargetRect(*dc, *rect)});
    std::vector<std::uint32_t> cps;
    std::vector<int> starts;
    Decode(text, int(length), cps, &starts);
    std::vector<int> adv(cps.size());
    int width = 0;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        adv[i] = dx ? dx[starts[i]] : GlyphOf(ff, cps[i]).Advance;
        width += adv[i];
    }
    UINT align = dc->St.TextAlign;
    if (align & TA_UPDATECP) {
        x = dc->St.CurPos.x;
        y = dc->St.CurPos.y;
    }
    POINT p = TargetPoint(*dc, x, y);
    int left = p.x;
    if ((align & TA_CENTER) == TA_CENTER)
        left -= width / 2;
    else if (align & TA_RIGHT)
        left -= width;
    int top = p.y;
    if ((align & TA_BASELINE) == TA_BASELINE)
        top -= ff.Tm.tmAscent;
    else if (align & TA_BOTTOM)
        top -= ff.Tm.tmHeight;
    DrawRun(*dc, ff, cps, adv.data(), left, top, clip, dc->St.BkMode == OPAQUE);
    if ((align & TA_UPDATECP) && (align & TA_CENTER) != TA_CENTER) {
        dc->St.CurPos.x = ClampCoord(static_cast<long long>(dc->St.CurPos.x) +
                                     ((align & TA_RIGHT) ? -width : width));
    }
    return TRUE;
}

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length) {
    if (length < 0)
        return FALSE;
    return ExtTextOutA(hdc, x, y, 0, nullptr, text, UINT(length), nullptr);
}

namespace {

struct TextLine {
    std::vector<std::uint32_t> Cps;
    std::vector<int> Underlined; // indices of the prefixed characters
    std::vector<int> Advances;
    int Width = 0;
};

void AppendLine(std::vector<TextLine>& lines, const std::vector<std::uint32_t>& cps, bool prefix) {
    TextLine line;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        std::uint32_t c = cps[i];
        if (prefix && c == '&') {
            if (i + 1 < cps.size()) {
                ++i;
                if (cps[i] != '&')
                    line.Underlined.push_back(int(line.Cps.size()));
                line.Cps.push_back(cps[i]);
            }
            continue;
        }
        line.Cps.push_back(c);
    }
    lines.push_back(std::move(line));
}

// Splits decoded text at line ends (CR, LF or CR LF); a single line drops them.
std::vector<std::vector<std::uint32_t>> SplitLines(const std::vector<std::uint32_t>& all,
                                                   bool singleLine) {
    std::vector<std::vector<std::uint32_t>> raw(1);
    for (std::size_t i = 0; i < all.size(); ++i) {
        bool lineEnd = all[i] == '\r' || all[i] == '\n';
        if (!lineEnd) {
            raw.back().push_back(all[i]);
            continue;
        }
        if (singleLine)
            continue;
        if (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n')
            ++i;
        raw.emplace_back();
    }
    return raw;
}

// Greedy word wrap of one line to `maxWidth`: breaks at spaces, never inside a word.
void WrapLine(FontFace& ff, const std::vector<std::uint32_t>& r, int maxWidth, bool prefix,
              std::vector<TextLine>& lines) {
    auto from = [&r](std::size_t i) { return r.begin() + std::ptrdiff_t(i); };
    std::size_t start = 0;
    while (true) {
        std::size_t end = start, lastBreak = std::string::npos;
        int w = 0;
        while (end < r.size()) {
            int a = GlyphOf(ff, r[end]).Advance;
            if (r[end] == ' ')
                lastBreak = end;
            if (w + a > maxWidth && r[end] != ' ' && lastBreak != std::string::npos &&
                lastBreak > start)
                break;
            w += a;
            ++end;
        }
        if (end >= r.size()) {
            AppendLine(lines, std::vector<std::uint32_t>(from(start), r.end()), prefix);
            return;
        }
        AppendLine(lines, std::vector<std::uint32_t>(from(start), from(lastBreak)), prefix);
        start = lastBreak;
        while (start < r.size() && r[start] == ' ')
            ++start;
        if (start >= r.size())
            return;
    }
}

// Fills each line's advances (tabs expanded when asked) and returns the widest line.
int MeasureLines(FontFace& ff, std::vector<TextLine>& lines, UINT format) {
    int widest = 0;
    int tab = 8 * std::max<int>(1, ff.Tm.tmAveCharWidth);
    for (TextLine& l : lines) {
        int pos = 0;
        for (std::uint32_t cp : l.Cps) {
            int a = (cp == '\t' && (format & DT_EXPANDTABS)) ? tab - pos % tab
                                                             : GlyphOf(ff, cp).Advance;
            l.Advances.push_back(a);
            pos += a;
        }
        l.Width = pos;
        widest = std::max(widest, l.Width);
    }
    return widest;
}

// Underlines the prefixed characters of a line drawn at target point `p`.
void UnderlinePrefixed(DC& dc, FontFace& ff, const TextLine& l, POINT p,
                       const std::vector<RECT>& clip) {
    if (l.Underlined.empty())
        return;
    PixelGrid g = GridOf(dc);
    for (int index : l.Underlined) {
        int ux = p.x;
        for (int i = 0; i < index; ++i)
            ux += l.Advances[std::size_t(i)];
        int uw = l.Advances[std::size_t(index)];
        int uy = p.y + ff.Tm.tmAscent + 1;
        PatternSource line = SolidPattern(g, ResolveColor(dc, dc.St.TextColor));
        FillRop(g, clip, RECT{ux, uy, ux + uw, uy + 1}, line, 0xF0);
    }
}

void DrawLines(DC& dc, FontFace& ff, const std::vector<TextLine>& lines, const RECT& rc,
               const RECT& logical, int top, int lineHeight, UINT format) {
    std::vector<RECT> clip = TargetClip(dc);
    if (!(format & DT_NOCLIP))
        clip = RectsIntersect(clip, {TargetRect(dc, logical)});
    int y = top;
    for (const TextLine& l : lines) {
        int x = rc.left;
        if (format & DT_CENTER)
            x = rc.left + (rc.right - rc.left - l.Width) / 2;
        else if (format & DT_RIGHT)
            x = rc.right - l.Width;
        POINT p = TargetPoint(dc, x, y);
        DrawRun(dc, ff, l.Cps, l.Advances.data(), p.x, p.y, clip, dc.St.BkMode == OPAQUE);
        if (!(format & DT_HIDEPREFIX))
            UnderlinePrefixed(dc, ff, l, p, clip);
        y += lineHeight;
    }
}

} // namespace

int DrawTextA(HDC hdc, LPCSTR text, int length, LPRECT rect, UINT format) {
    GdiLock lock(GdiMutex());
    auto dc = LookupDC(hdc);
    if (!dc || !rect || (!text && length != 0))
        return 0;
    if (length < 0)
        length = text ? int(strnlen(text, MaxTextLength + 1)) : 0;
    if (length > MaxTextLength)
        return 0;
    const RECT rc{ClampCoord(rect->left), ClampCoord(rect->top), ClampCoord(rect->right),
                  ClampCoord(rect->bottom)};
    FontFace& ff = FaceOf(*dc);
    bool prefix = !(format & DT_NOPREFIX);
    std::vector<std::uint32_t> all;
    Decode(text, length, all, nullptr);
    std::vector<TextLine> lines;
    bool wrap = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
    for (auto& r : SplitLines(all, format & DT_SINGLELINE)) {
        if (wrap)
            WrapLine(ff, r, rc.right - rc.left, prefix, lines);
        else
            AppendLine(lines, r, prefix);
    }
    int lineHeight = ff.Tm.tmHeight + ((format & DT_EXTERNALLEADING) ? ff.Tm.tmExternalLeading : 0);
    int widest = MeasureLines(ff, lines, format);
    int total = lineHeight * int(lines.size());
    if (format & DT_CALCRECT) {
        rect->right = rc.left + widest;
        rect->bottom = rc.top + total;
        return total;
    }
    int top = rc.top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rc.top + (rc.bottom - rc.top - total) / 2;
        else if (format & DT_BOTTOM)
            top = rc.bottom - total;
    }
    DrawLines(*dc, ff, lines, rc, *rect, top, lineHeight, format);
    if ((format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)))
        return top - rc.top + total;
    return total;
}

// fontconfig keeps its parsed configuration for the life of the process; leak checkers
// of sanitizer builds are told so.
#if defined(__SANITIZE_ADDRESS__)
#define QUILLOT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLOT_ASAN 1
#endif
#endif
#ifdef QUILLOT_ASAN
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
// Without a finding the leak check prints nothing, not even the suppressions it used: the
// programs' standard error stays theirs.
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
#endif
