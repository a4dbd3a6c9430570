// The text form of form streams: a readable description that compiles into the binary
// form stream byte for byte, and that any binary form stream decodes back into, without
// creating components. Compiling the decoded text gives the same bytes again.
//
//   // a comment
//   object Form1: TForm1                  a component entry: name and class
//     Left = -4                           one property per line: path = value
//     Caption = 'Quillot 05 Vol. 1 '      strings in single quotes, '' for a quote,
//     Font.Style = []                       #13 for a character by its code: 'a'#13'b'
//     Color = clBtnFace                   identifiers (False, True, Null, nil too)
//     Ratio = 1.5                         floats (extended precision)
//     Anchors = [akLeft, akTop]           sets
//     Items = <                           collections
//       item
//         Caption = 'x'
//       end
//       item [3]                          an item with its index
//       end>
//     Strings = ('a' 'b' 1)               lists
//     Data = {00 01 FF}                   binary blocks, in hex
//     Picture.Data = gif('start.gif')     a picture block made from a GIF file
//     object MainImage: TImage            children, nested in their parent
//     end
//   end
//
// Values take the smallest form of the writer rules. Forms that the rules would not
// choose are written explicitly, so that every stream has a text: int8(5), int16(5),
// int32(5), int64(5), single(0.5), currency(1.2345), date(2.5), lstring('x'),
// wstring('x'), utf8('x'), ident('False'), and raw{...} (a whole value, tag included,
// in hex). Entries may begin with "inherited" or "inline" instead of "object", carry a
// child position ("object B: TButton [2]") and, for unusual header bytes, flags(N).
// A name or path that is no identifier is written as a string.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace formstream {

// A failure with the line of the text it belongs to (0 when it has none).
class EFormTextError : public std::runtime_error {
public:
    EFormTextError(int line, const std::string& message)
        : std::runtime_error(message), FLine(line) {}
    int Line() const { return FLine; }

private:
    int FLine;
};

// Compiles the text into a binary form stream. `loadFile` returns the bytes of a file
// named in gif(...) (it raises EFormTextError, line 0, when it cannot).
std::string CompileFormText(std::string_view text,
                            const std::function<std::string(const std::string&)>& loadFile);

// Decodes a binary form stream into text. Picture blocks of GIF images are handed to
// `savePicture` (a suggested file name and the GIF bytes), which returns the file name to
// write into the text; without it, or when it returns an empty name, they are written in
// hex like any other block. `trailing` receives the count of bytes after the form.
// Raises EFormTextError (line 0) for a stream that is not a form stream.
std::string DecodeFormStream(
    std::string_view bytes,
    const std::function<std::string(const std::string&, std::string_view)>& savePicture,
    std::size_t* trailing = nullptr);

// For listings: as DecodeFormStream, but binary blocks longer than `summarizeOver` bytes
// are shown by their size only ("<N bytes>", or "<TGIFImage picture, N bytes>"), which
// no longer compiles.
std::string DescribeFormStream(std::string_view bytes, std::size_t summarizeOver);

} // namespace formstream
