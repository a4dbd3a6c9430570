// libFuzzer target for formc's text form: compiling arbitrary text either fails with a
// line-numbered error or gives a stream that decodes into text compiling to the same
// bytes; decoding arbitrary bytes either fails or gives text that compiles back to them.
// The first byte picks the direction.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "formstream/FormText.h"
#include "rtl/Exceptions.h"

namespace {

std::string LoadAny(const std::string& name) {
    if (name.size() > 8)
        throw formstream::EFormTextError(0, "cannot read picture file " + name);
    return "GIF89a" + name;
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::map<std::string, std::string> saved;
    auto save = [&](const std::string& name, std::string_view gif) {
        saved[name] = std::string(gif);
        return name;
    };
    auto load = [&](const std::string& name) {
        auto it = saved.find(name);
        return it != saved.end() ? it->second : LoadAny(name);
    };
    if (data[0] & 1) {
        std::string bytes;
        try {
            bytes = formstream::CompileFormText(input, LoadAny);
        } catch (const formstream::EFormTextError&) {
            return 0;
        }
        const std::string text = formstream::DecodeFormStream(bytes, save);
        Check(formstream::CompileFormText(text, load) == bytes);
    } else {
        std::string text;
        std::size_t trailing = 0;
        try {
            text = formstream::DecodeFormStream(input, save, &trailing);
        } catch (const formstream::EFormTextError&) {
            return 0;
        }
        Check(formstream::CompileFormText(text, load) == input.substr(0, input.size() - trailing));
    }
    return 0;
}
