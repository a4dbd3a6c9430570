// The text form of form streams (formc): compiling and decoding give identical bytes
// both ways, syntax errors carry their line, the main window's text compiles into the
// stream of the listed size and content, and the command line behaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "MainFormStandIns.h"
#include "StreamBytes.h"
#include "formstream/FormText.h"
#include "rtl/Exceptions.h"
#include "tests/common/Files.h"
#include "tests/common/MainWindowComponents.h"
#include "tests/common/TempDir.h"

using namespace formstream;

namespace {

const std::string GeneratedDir = std::string(QUILLOT_BUILD_DIR) + "/generated";

std::string LoadGenerated(const std::string& name) {
    const std::string bytes = testutil::ReadAll(GeneratedDir + "/" + name);
    if (bytes.empty())
        throw formstream::EFormTextError(0, "cannot read picture file " + name);
    return bytes;
}

std::string Compile(const std::string& text, const std::map<std::string, std::string>& files = {}) {
    return formstream::CompileFormText(text, [&](const std::string& name) {
        auto it = files.find(name);
        if (it == files.end())
            throw formstream::EFormTextError(0, "cannot read picture file " + name);
        return it->second;
    });
}

std::string Hex(std::string_view s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

std::uint32_t LE32(std::string_view s, std::size_t at) {
    return std::uint32_t(static_cast<unsigned char>(s[at])) |
           (std::uint32_t(static_cast<unsigned char>(s[at + 1])) << 8) |
           (std::uint32_t(static_cast<unsigned char>(s[at + 2])) << 16) |
           (std::uint32_t(static_cast<unsigned char>(s[at + 3])) << 24);
}

// Every value form, written the way the decoder writes it, so that decoding the compiled
// text gives the text back.
const char* const EveryForm = R"(object Root: TRoot
  Small = -4
  Word = 1283
  Long = 70000
  Huge = 4294967296
  NotSmallest = int16(5)
  AlsoNot = int32(-1)
  Wide64 = int64(7)
  Text = 'it''s'#13#10'ok'
  Empty = ''
  Long8 = lstring('short')
  Utf = utf8('a'#234#176#128)
  Wide = wstring('x'#44032#55296)
  Ident = clBtnFace
  Dotted = Other.Target
  Keyword = ident('False')
  Odd = ident('not an ident')
  Flags = [fsBold, 'odd name']
  NoFlags = []
  Truth = True
  Lie = False
  Nothing = nil
  Void = Null
  Ratio = 1.5
  Neg = -0.0
  Single = single(0.25)
  Money = currency(-12.3456)
  When = date(36526.5)
  Block = {00 01 FF}
  List = (1 'two' (3) ident('int8'))
  Items = <
    item
      Caption = 'a'
    end
    item [3]
      Value = int16(2)
    end>
  NoItems = <>
  Strange = raw{15}
  'quoted path' = 1
  object Child: TChild [2]
    Ref = Owner
  end
  inherited Kept: TChild
  end
  inline Nested: TFrame flags(5)
  end
  object TNameless
  end
  object B: TB flags(0)
  end
end
)";

} // namespace

TEST(FormText, EveryValueFormDecodesToTheSameTextAndBytes) {
    const std::string bytes = Compile(EveryForm);
    const std::string text = formstream::DecodeFormStream(bytes, nullptr);
    EXPECT_EQ(text, EveryForm);
    EXPECT_EQ(Hex(Compile(text)), Hex(bytes));
}

TEST(FormText, ValuesTakeTheWriterRules) {
    struct Case {
        const char* value;
        std::vector<int> bytes; // the value after the path
    } cases[] = {
        {"-4", {0x02, 0xFC}},
        {"1283", {0x03, 0x03, 0x05}},
        {"$7FFFFFFF", {0x04, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"'ab'", {0x06, 0x02, 'a', 'b'}},
        {"clBtnFace", {0x07, 0x09, 'c', 'l', 'B', 't', 'n', 'F', 'a', 'c', 'e'}},
        {"TRUE", {0x09}},
        {"false", {0x08}},
        {"NIL", {0x0D}},
        {"null", {0x00}},
        {"[]", {0x0B, 0x00}},
        {"[fsBold]", {0x0B, 0x06, 'f', 's', 'B', 'o', 'l', 'd', 0x00}},
        {"{0A0b}", {0x0A, 0x02, 0x00, 0x00, 0x00, 0x0A, 0x0B}},
        {"()", {0x01, 0x00}},
        {"<>", {0x0E, 0x00}},
        {"gif('x.gif')", {0x0A, 0x10, 0,   0,   0, 9, 'T', 'G', 'I', 'F', 'I',
                          'm',  'a',  'g', 'e', 2, 0, 0,   0,   'G', 'I'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string bytes =
            Compile(std::string("object A: T\n  P = ") + c.value + "\nend\n", {{"x.gif", "GI"}});
        std::string expected = "TPF0\x01T\x01"
                               "A\x01P";
        for (int b : c.bytes)
            expected += static_cast<char>(b);
        expected += std::string("\0\0", 2);
        EXPECT_EQ(Hex(bytes), Hex(expected));
    }
}

TEST(FormText, FloatsRoundTripExactly) {
    // Denormal extended values underflow when parsed; they must still compile.
    for (const char* value :
         {"0.1", "-2.5", "1e+300", "7.98643840855485874107e-4934", "-0.0", "single(1.00000012)",
          "date(-0.5)", "currency(-922337203685477.5808)"}) {
        SCOPED_TRACE(value);
        const std::string text = std::string("object A: T\n  P = ") + value + "\nend\n";
        const std::string bytes = Compile(text);
        EXPECT_EQ(Compile(formstream::DecodeFormStream(bytes, nullptr)), bytes);
    }
    EXPECT_THROW(Compile("object A: T\n  P = 1e99999\nend\n"), formstream::EFormTextError);
}

TEST(FormText, LongClassNamesGetAHeaderByte) {
    // A length byte of 0xF0 or more would read as header flags.
    for (std::size_t n : {239u, 240u, 255u}) {
        SCOPED_TRACE(n);
        const std::string cls(n, 'T');
        const std::string bytes = Compile("object A: " + cls + "\nend\n");
        EXPECT_EQ(static_cast<unsigned char>(bytes[4]), n < 240 ? n : 0xF0);
        const std::string text = formstream::DecodeFormStream(bytes, nullptr);
        EXPECT_EQ(text, "object A: " + cls + "\nend\n");
        EXPECT_EQ(Compile(text), bytes);
    }
}

TEST(FormText, SyntaxErrorsCarryTheirLine) {
    struct Case {
        const char* text;
        int line;
        const char* message;
    } cases[] = {
        {"", 1, "expected 'object', 'inherited' or 'inline'"},
        {"object A: T\n  P = \nend\n", 4,
         "expected 'end', a property or a component, found end of text"},
        {"object A: T\n  P = 1\n", 3,
         "expected 'end', a property or a component, found end of text"},
        {"object A: T\n\n  P = 'open\nend\n", 3, "unterminated string"},
        {"object A: T\n  P = {0 1 2}\nend\n", 2, "odd number of hex digits in a binary block"},
        {"object A: T\n  P = {0G}\nend\n", 2, "invalid character 'G' in a binary block"},
        {"object A: T\n  P = int8(300)\nend\n", 2, "value out of range for int8"},
        {"object A: T\n  P = int16(-32769)\nend\n", 2, "value out of range for int16"},
        {"object A: T\n  P = int32(2147483648)\nend\n", 2, "value out of range for int32"},
        {"object A: T\n  P = lstring(1)\nend\n", 2, "lstring needs a string"},
        {"object A: T\n  P = wstring(x)\nend\n", 2, "wstring needs a string"},
        {"object A: T\n  P = gif(1)\nend\n", 2, "gif needs a string"},
        {"object A: T\n  P = ident(1)\nend\n", 2, "ident needs a name"},
        {"object A: T\n  P = 99999999999999999999\nend\n", 2,
         "expected an integer, found '99999999999999999999'"},
        {"object A: T\n  P = [a b]\nend\n", 2, "expected ',', found 'b'"},
        {"object A: T\n  P = gif('none.gif')\nend\n", 2, "cannot read picture file none.gif"},
        {"object A: T\n  P = foo(1)\nend\n", 2,
         "expected 'end', a property or a component, found '('"},
        {"object A: T\nend\nobject B: T\nend\n", 3, "text after the end of the form"},
        {"object A: T [x]\nend\n", 1, "a child position must be an integer of 32 bits at most"},
        {"object A: T\n  P = 'a'#300\nend\n", 2, "character code above 255 in an 8-bit string"},
        {"object A: T\n  P = <item [1.5] end>\nend\n", 2,
         "an item index must be an integer of 32 bits at most"},
        {"object A: T\n  P = 1\n  ? = 2\nend\n", 3, "unexpected character '?'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            Compile(c.text);
            ADD_FAILURE() << "no error";
        } catch (const formstream::EFormTextError& e) {
            EXPECT_EQ(e.Line(), c.line);
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(FormText, DamagedStreamsAreRejectedWithTheirPlace) {
    const std::string good = Compile(EveryForm);
    // Every cut of the stream is either refused or (for cuts inside nothing) impossible:
    // decoding never reads past the end.
    for (std::size_t n = 0; n < good.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_THROW(formstream::DecodeFormStream(std::string_view(good).substr(0, n), nullptr),
                     formstream::EFormTextError);
    }
    std::size_t trailing = 0;
    formstream::DecodeFormStream(good + "xyz", nullptr, &trailing);
    EXPECT_EQ(trailing, 3u);
}

// The size of a picture block of the main window: class name, byte count, the GIF file.
std::size_t PictureBlockSize(const char* gifFile) {
    return 14 + testutil::ReadAll(GeneratedDir + "/" + gifFile).size();
}

TEST(MainForm, CompiledStreamHasItsSizeFirstBytesAndEnd) {
    const std::string stream = testutil::ReadAll(GeneratedDir + "/TFORM1.bin");
    // 2,705 bytes of structure and properties and four picture blocks.
    EXPECT_EQ(stream.size(),
              2705 + PictureBlockSize("MainImage.gif") + PictureBlockSize("SelectImage.gif") +
                  PictureBlockSize("SelectImage_eng.gif") + PictureBlockSize("start.gif"));
    testclasses::TBytes first;
    first.Sig().Str("TForm1").Str("Form1");
    first.Str("Left").Byte(0x02).Byte(0xFC).Str("Top").Byte(0x02).Byte(0x01);
    first.Str("Width").Byte(0x03).Byte(0x03).Byte(0x05);
    first.Str("Height").Byte(0x03).Byte(0xDC).Byte(0x03);
    ASSERT_GE(stream.size(), first.Size());
    EXPECT_EQ(Hex(stream.substr(0, first.Size())), Hex(first.Bytes()));
    EXPECT_EQ(stream.substr(stream.size() - 3), std::string(3, '\0'));
    EXPECT_NE(stream.find("\x07OnClick\x07\x0FwomanImageClick"), std::string::npos);
    EXPECT_NE(stream.find(std::string("\x0A"
                                      "Font.Style\x0B\x00",
                                      13)),
              std::string::npos);
}

TEST(MainForm, PictureBlocksHoldGifsOfTheListedStructure) {
    const std::string stream = testutil::ReadAll(GeneratedDir + "/TFORM1.bin");
    struct Case {
        const char* component;
        const char* file;
        int width, height;
    } cases[] = {
        {"MainImage", "MainImage.gif", 1280, 1024},
        {"SelectImage", "SelectImage.gif", 650, 491},
        {"SelectImage_eng", "SelectImage_eng.gif", 650, 484},
        {"start", "start.gif", 650, 504},
    };
    std::size_t from = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.component);
        const std::string path = std::string("\x0CPicture.Data\x0A");
        const std::size_t at = stream.find(path, from);
        ASSERT_NE(at, std::string::npos);
        from = at + path.size();
        const std::string file = testutil::ReadAll(GeneratedDir + "/" + c.file);
        const std::uint32_t size = std::uint32_t(file.size() + 14);
        EXPECT_EQ(LE32(stream, from), size);
        const std::string_view block = std::string_view(stream).substr(from + 4, size);
        ASSERT_EQ(block.size(), size);
        EXPECT_EQ(block.substr(0, 10), std::string_view("\x09TGIFImage"));
        const std::uint32_t gifSize = LE32(block, 10);
        EXPECT_EQ(gifSize, size - 14);
        const std::string_view gif = block.substr(14);
        EXPECT_TRUE(gif == file);
        EXPECT_EQ(gif.substr(0, 6), "GIF89a");
        EXPECT_EQ(LE32(gif, 6), std::uint32_t(c.width) | (std::uint32_t(c.height) << 16));
        EXPECT_EQ(Hex(gif.substr(10, 3)), "F7 00 00 ");
        EXPECT_EQ(Hex(gif.substr(13, 6)), "00 00 00 FF FF FF ");
        EXPECT_EQ(Hex(gif.substr(781, 8)), "21 F9 04 01 00 00 01 00 ");
        EXPECT_EQ(gif[789], '\x2C');
        EXPECT_EQ(LE32(gif, 790), 0u);
        EXPECT_EQ(LE32(gif, 794), std::uint32_t(c.width) | (std::uint32_t(c.height) << 16));
        EXPECT_EQ(Hex(gif.substr(798, 2)), "00 08 ");
        // Sub-blocks of 255 bytes, a shorter last one, the terminator and the trailer.
        std::size_t pos = 800;
        while (pos < gif.size() && static_cast<unsigned char>(gif[pos]) == 255)
            pos += 256;
        ASSERT_LT(pos, gif.size());
        const std::size_t last = static_cast<unsigned char>(gif[pos]);
        EXPECT_GT(last, 0u);
        pos += 1 + last;
        EXPECT_EQ(Hex(gif.substr(std::min(pos, gif.size()))), "00 3B ");
    }
}

TEST(MainForm, ReadsIntoTheWindowsClassesWithoutRegistration) {
    using namespace mainformstandins;
    ResetClassRegistry();
    testclasses::RegisterTestClasses();
    gLoaded.clear();
    gPictureBytes = 0;
    gPictureBlocks = 0;
    const std::string stream = testutil::ReadAll(GeneratedDir + "/TFORM1.bin");
    rtl::TMemoryStream s;
    s.WriteBuffer(stream.data(), stream.size());
    s.SetPosition(0);
    TOwned<TForm1> form(new TForm1(nullptr));
    {
        TReader reader(s, 4096);
        reader.ReadRootEntry(form.get());
    }
    EXPECT_EQ(s.Position(), s.Size());
    EXPECT_EQ(form->Name(), "Form1");
    EXPECT_EQ(form->FCaption, "Quillot 05 Vol. 1 ");
    EXPECT_EQ(form->FColor, clBtnFace);
    EXPECT_EQ(form->FFont->FName, "MS Sans Serif");
    EXPECT_EQ(form->FWindowState, testclasses::wsMaximized);
    EXPECT_FALSE(form->FOldCreateOrder);
    EXPECT_EQ(form->FPixelsPerInch, 96);
    EXPECT_EQ(form->FTextHeight, 13);
    std::vector<std::string> order = {"Form1"};
    order.insert(order.end(), testcommon::MainWindowComponents.begin(),
                 testcommon::MainWindowComponents.end());
    EXPECT_EQ(gLoaded, order);
    ASSERT_EQ(form->ComponentCount(), 23);
    for (int i = 0; i < 23; ++i)
        EXPECT_EQ(form->Components(i)->Name(), order[static_cast<std::size_t>(i) + 1]);
    EXPECT_EQ(form->MediaPlayer1->FDisplay, form->ShowPanel);
    EXPECT_EQ(form->back->FFont->FName, "Franklin Gothic Medium");
    EXPECT_EQ(form->back->FFont->FHeight, -19);
    EXPECT_EQ(form->close->FCaption, "Close");
    EXPECT_EQ(form->SelectImage->FHelpType, htKeyword);
    EXPECT_FALSE(form->SelectImage->FVisible);
    EXPECT_TRUE(form->start->FAutoSize);
    EXPECT_EQ(form->womanImage->FCursor, -21);
    EXPECT_EQ(form->Timer1->FInterval, 100);
    EXPECT_EQ(form->Timer1->DesignLeft(), 272);
    EXPECT_EQ(form->Save->FFilter, "Quillot  zip File (*.zip)|*.zip");
    EXPECT_EQ(form->Save->DesignLeft(), 312);
    EXPECT_EQ(form->ShowPanel->FTabOrder, 1);
    EXPECT_EQ(form->MediaPlayer1->FTabOrder, 0);
    EXPECT_EQ(form->MainImage->FParent, form.get());
    EXPECT_EQ(form->MainImage->FPicture->GraphicClass, "TGIFImage");
    EXPECT_EQ(form->MainImage->FPicture->Bytes.size(), PictureBlockSize("MainImage.gif") - 10);
    EXPECT_EQ(gPictureBlocks, 4);
    EXPECT_EQ(gPictureBytes,
              PictureBlockSize("MainImage.gif") + PictureBlockSize("SelectImage.gif") +
                  PictureBlockSize("SelectImage_eng.gif") + PictureBlockSize("start.gif"));

    struct Click {
        TStandInControl* control;
        const char* handler;
    } clicks[] = {
        {form->womanImage, "womanImageClick"},
        {form->manImage, "manImageClick"},
        {form->childbabyImage, "childbabyImageClick"},
        {form->title, "titleClick"},
        {form->childbabyImage1, "childbabyImageClick"},
        {form->back, "backClick"},
        {form->close, "closeClick"},
        {form->title_eng, "titleClick"},
        {form->manImage_eng, "manImageClick"},
        {form->womanImage_eng, "womanImageClick"},
        {form->childbabyImage_eng, "childbabyImageClick"},
        {form->childbabyImage1_eng, "childbabyImageClick"},
        {form->b_korean, "b_koreanClick"},
        {form->b_english, "b_englishClick"},
    };
    for (const Click& c : clicks) {
        SCOPED_TRACE(c.handler);
        ASSERT_NE(c.control, nullptr);
        form->Calls.clear();
        c.control->FOnClick(c.control);
        EXPECT_EQ(form->Calls, std::vector<std::string>{c.handler});
    }
    EXPECT_FALSE(form->MainImage->FOnClick);
    form->Calls.clear();
    form->Timer1->FOnTimer(form->Timer1);
    form->FOnResize(form.get());
    EXPECT_EQ(form->Calls, (std::vector<std::string>{"Timer1Timer", "FormResize"}));
    ResetClassRegistry();
}

TEST(MainForm, TextAndStreamRoundTrip) {
    const std::string text = testutil::ReadAll(std::string(QUILLOT_SOURCE_DIR) + "/app/Form1.txt");
    const std::string stream = formstream::CompileFormText(text, LoadGenerated);
    EXPECT_EQ(stream, testutil::ReadAll(GeneratedDir + "/TFORM1.bin"));
    std::map<std::string, std::string> saved;
    const std::string decoded =
        formstream::DecodeFormStream(stream, [&](const std::string& name, std::string_view gif) {
            saved[name] = std::string(gif);
            return name;
        });
    EXPECT_EQ(saved.size(), 4u);
    EXPECT_EQ(saved["MainImage.gif"], LoadGenerated("MainImage.gif"));
    EXPECT_NE(decoded.find("Picture.Data = gif('SelectImage_eng.gif')"), std::string::npos);
    EXPECT_NE(decoded.find("Filter = 'Quillot  zip File (*.zip)|*.zip'"), std::string::npos);
    const std::string again = Compile(decoded, saved);
    EXPECT_TRUE(again == stream);
    EXPECT_EQ(formstream::DecodeFormStream(
                  again, [](const std::string& name, std::string_view) { return name; }),
              decoded);
}

// --- the programs

namespace {

struct TRun {
    int Status;
    std::string Out;
    std::string Err;
};

TRun RunProgram(const std::string& program, const std::string& args) {
    const testutil::TTempDir dir("formc-run");
    const std::string out = dir / "out.txt", err = dir / "err.txt";
    const std::string command = "'" + program + "' " + args + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return {status, testutil::ReadAll(out), testutil::ReadAll(err)};
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(FormcProgram, CommandLineManners) {
    const testutil::TTempDir tempDir("formc-cli");
    const std::string dir = tempDir.String();
    WriteText(dir + "/bad.txt", "object A: T\n  P = 1\n\n  Q = [a b]\nend\n");
    WriteText(dir + "/good.txt", "object A: T\n  P = gif('p.gif')\nend\n");
    WriteText(dir + "/p.gif", "GIF89a-ish");

    struct Case {
        std::string args;
        int status;
        std::string errStart; // the beginning of standard error ("" for none)
    } cases[] = {
        {"", 2, "formc: no input file"},
        {"--bogus x", 2, "formc: unknown option --bogus"},
        {"-o", 2, "formc: -o needs a value"},
        {"a b", 2, "formc: more than one input file"},
        {"'" + dir + "/missing.txt'", 1, "formc: cannot read " + dir + "/missing.txt"},
        {"'" + dir + "/bad.txt'", 1, "formc: " + dir + "/bad.txt:4: expected ',', found 'b'"},
        {"-o '" + dir + "/good.bin' '" + dir + "/good.txt'", 0, ""},
        {"-d -o '" + dir + "/back.txt' -p '" + dir + "/pics' '" + dir + "/good.bin'", 1,
         "formc: cannot write"},
        {"-d '" + dir + "/good.txt'", 1, "formc: " + dir + "/good.txt: no form stream signature"},
        {"--volume v -d x", 2, "formc: --volume compiles into its folder"},
        {"--volume v -o y x", 2, "formc: --volume compiles into its folder"},
        {"--clips c x", 2, "formc: --clips needs --volume"},
        {"--volume '" + dir + "/v' --clips '" + dir + "' '" + dir + "/good.txt'", 1,
         "formc: no clips (.avi files) in"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const TRun r = RunProgram(FORMC_PATH, c.args);
        EXPECT_EQ(r.Status, c.status);
        EXPECT_EQ(r.Err.substr(0, c.errStart.size()), c.errStart);
        if (c.errStart.empty()) {
            EXPECT_EQ(r.Err, "");
        }
    }
    EXPECT_EQ(RunProgram(FORMC_PATH, "--help").Status, 0);
    EXPECT_NE(RunProgram(FORMC_PATH, "-h").Out.find("Usage: formc"), std::string::npos);

    // Decoding into another folder saves the picture there and refers to it relatively;
    // compiling that text gives the same stream.
    std::filesystem::create_directories(dir + "/out/pics");
    ASSERT_EQ(RunProgram(FORMC_PATH, "-d -o '" + dir + "/out/back.txt' -p '" + dir +
                                         "/out/pics' '" + dir + "/good.bin'")
                  .Status,
              0);
    EXPECT_EQ(testutil::ReadAll(dir + "/out/pics/A_P.gif"), "GIF89a-ish");
    EXPECT_NE(testutil::ReadAll(dir + "/out/back.txt").find("gif('pics/A_P.gif')"),
              std::string::npos);
    ASSERT_EQ(
        RunProgram(FORMC_PATH, "-o '" + dir + "/out/again.bin' '" + dir + "/out/back.txt'").Status,
        0);
    EXPECT_EQ(testutil::ReadAll(dir + "/out/again.bin"), testutil::ReadAll(dir + "/good.bin"));
    // With --hex the picture stays in the text.
    const TRun hex = RunProgram(FORMC_PATH, "-d --hex '" + dir + "/good.bin'");
    EXPECT_EQ(hex.Status, 0);
    EXPECT_NE(hex.Out.find("P = {09 54 47 49 46"), std::string::npos);
}

// A volume folder from the main window's text form: the same stream as the build's, the
// four pictures under their components' names, the clips copied whatever the case of
// their extension.
TEST(FormcProgram, WritesAVolumeFolder) {
    const testutil::TTempDir tempDir("formc-volume");
    const std::string dir = tempDir.String(),
                      generated = std::string(QUILLOT_BUILD_DIR) + "/generated";
    std::filesystem::create_directories(dir + "/clips");
    WriteText(dir + "/clips/main.avi", "RIFF1");
    WriteText(dir + "/clips/MAN_ENG.AVI", "RIFF2");
    WriteText(dir + "/clips/notes.txt", "not a clip");
    const TRun r =
        RunProgram(FORMC_PATH, "--volume '" + dir + "/My Vol' -I '" + generated + "' --clips '" +
                                   dir + "/clips' '" + QUILLOT_SOURCE_DIR + "/app/Form1.txt'");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(testutil::ReadAll(dir + "/My Vol/TFORM1.bin"),
              testutil::ReadAll(generated + "/TFORM1.bin"));
    for (const char* gif : {"MainImage.gif", "SelectImage.gif", "SelectImage_eng.gif", "start.gif"})
        EXPECT_EQ(testutil::ReadAll(dir + "/My Vol/" + gif),
                  testutil::ReadAll(generated + "/" + gif))
            << gif;
    EXPECT_EQ(testutil::ReadAll(dir + "/My Vol/main.avi"), "RIFF1");
    EXPECT_EQ(testutil::ReadAll(dir + "/My Vol/MAN_ENG.AVI"), "RIFF2");
    EXPECT_FALSE(std::filesystem::exists(dir + "/My Vol/notes.txt"));
}
