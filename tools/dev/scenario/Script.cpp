#include "tools/dev/scenario/Script.h"

#include <cctype>
#include <charconv>
#include <sstream>
#include <string_view>

#include "platform/win32.h"
#include "rtl/SysUtils.h"

namespace scenario {

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool ToInt(const std::string& s, int& value) {
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, value);
    return ec == std::errc() && p == end;
}

struct TKeyName {
    std::string_view Name;
    int Key;
};

constexpr TKeyName KeyNames[] = {
    {"Space", VK_SPACE},   {"Return", VK_RETURN}, {"Enter", VK_RETURN},    {"Escape", VK_ESCAPE},
    {"Esc", VK_ESCAPE},    {"Tab", VK_TAB},       {"Backspace", VK_BACK},  {"Left", VK_LEFT},
    {"Right", VK_RIGHT},   {"Up", VK_UP},         {"Down", VK_DOWN},       {"Home", VK_HOME},
    {"End", VK_END},       {"PageUp", VK_PRIOR},  {"PageDown", VK_NEXT},   {"Insert", VK_INSERT},
    {"Delete", VK_DELETE}, {"Shift", VK_SHIFT},   {"Control", VK_CONTROL}, {"Alt", VK_MENU},
};

} // namespace

int VirtualKeyByName(const std::string& name) {
    for (const TKeyName& k : KeyNames)
        if (rtl::SameText(k.Name, name))
            return k.Key;
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return std::toupper(static_cast<unsigned char>(name[0]));
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        int n = 0;
        if (ToInt(name.substr(1), n) && n >= 1 && n <= 12)
            return VK_F1 + n - 1;
    }
    return 0;
}

bool ParseScript(std::istream& in, std::vector<TCommand>& commands, TScriptError& error) {
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        const std::vector<std::string> w = Words(line);
        if (w.empty())
            continue;
        auto fail = [&](const std::string& message) {
            error = {number, message};
            return false;
        };
        TCommand c;
        c.Line = number;
        const std::string& verb = w[0];
        const std::size_t args = w.size() - 1;
        auto ints = [&](int& a, int& b) { return ToInt(w[1], a) && ToInt(w[2], b); };
        if (verb == "click" && args == 1) {
            c.Kind = TCommandKind::ClickName;
            c.Text = w[1];
        } else if (verb == "click" || verb == "press" || verb == "move" || verb == "release" ||
                   verb == "resize") {
            if (args != 2 || !ints(c.A, c.B))
                return fail(verb + " takes two integers");
            c.Kind = verb == "click"     ? TCommandKind::ClickAt
                     : verb == "press"   ? TCommandKind::Press
                     : verb == "move"    ? TCommandKind::Move
                     : verb == "release" ? TCommandKind::Release
                                         : TCommandKind::Resize;
            if (c.Kind == TCommandKind::Resize && (c.A <= 0 || c.B <= 0))
                return fail("resize takes a positive width and height");
        } else if (verb == "key") {
            if (args != 1)
                return fail("key takes a key name");
            c.Kind = TCommandKind::Key;
            c.Text = w[1];
            c.A = VirtualKeyByName(w[1]);
            if (c.A == 0)
                return fail("unknown key " + w[1]);
        } else if (verb == "advance") {
            if (args != 1 || !ToInt(w[1], c.A) || c.A < 0)
                return fail("advance takes a number of milliseconds");
            c.Kind = TCommandKind::Advance;
        } else if (verb == "screenshot") {
            if (args != 1)
                return fail("screenshot takes a file name");
            c.Kind = TCommandKind::Screenshot;
            c.Text = w[1];
        } else if (verb == "maximize" || verb == "ok" || verb == "close" || verb == "dump") {
            if (args != 0)
                return fail(verb + " takes no arguments");
            c.Kind = verb == "maximize" ? TCommandKind::Maximize
                     : verb == "ok"     ? TCommandKind::Ok
                     : verb == "close"  ? TCommandKind::Close
                                        : TCommandKind::Dump;
        } else {
            return fail("unknown command " + verb);
        }
        commands.push_back(std::move(c));
    }
    return true;
}

} // namespace scenario
