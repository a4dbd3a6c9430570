// Runs the `scenario` program on a script in a directory of its own (removed again) and
// parses its dumps: one TDump per `dump`, its lines keyed by their first word(s).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "tests/common/Files.h"

namespace scenariotest {

// A directory unique to this run, removed with the object.
class TTempDir {
public:
    TTempDir() {
        std::string p = (std::filesystem::temp_directory_path() / "quillot-app-XXXXXX").string();
        FPath = mkdtemp(p.data()) ? p : throw std::runtime_error("mkdtemp failed");
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

struct TDump {
    std::string Window, Player, Shell;
    std::map<std::string, std::string> Components; // name -> its line
    std::vector<std::string> Boxes;

    // The value of `key=` in a line; a quoted value without its quotes, a doubled quote
    // inside it read as one.
    static std::string Field(const std::string& line, const std::string& key) {
        std::size_t p = line.find(" " + key + "=");
        if (p == std::string::npos)
            return "<none>";
        p += key.size() + 2;
        if (p >= line.size() || line[p] != '"')
            return line.substr(p, line.find(' ', p) - p);
        std::string v;
        for (++p; p < line.size() && (line[p] != '"' || line[++p] == '"'); ++p)
            v += line[p];
        return v;
    }
    std::string Of(const std::string& component, const std::string& key) const {
        auto it = Components.find(component);
        return it == Components.end() ? "<no component>" : Field(it->second, key);
    }
};

struct TRun {
    int Status = -1;
    std::string Out, Err;
    std::vector<TDump> Dumps;
    int ExitLine = -1; // N of "exit N", -1 without
};

inline TRun RunScenario(const TTempDir& dir, const std::string& script,
                        const std::string& args = "") {
    const auto scriptPath = dir.Path() / "script.txt", out = dir.Path() / "out.txt",
               err = dir.Path() / "err.txt";
    std::ofstream(scriptPath) << script;
    const std::string command = std::string("'") + SCENARIO_PATH + "' " + args + " '" +
                                scriptPath.string() + "' >'" + out.string() + "' 2>'" +
                                err.string() + "'";
    TRun run;
    const int raw = std::system(command.c_str());
    run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.Out = testutil::ReadAll(out);
    run.Err = testutil::ReadAll(err);
    std::istringstream lines(run.Out);
    for (std::string line; std::getline(lines, line);) {
        const std::string word = line.substr(0, line.find(' '));
        if (word == "window")
            run.Dumps.emplace_back().Window = line;
        else if (word == "exit")
            run.ExitLine = std::atoi(line.c_str() + 5);
        else if (run.Dumps.empty())
            continue;
        else if (word == "component")
            run.Dumps.back().Components[line.substr(10, line.find(' ', 10) - 10)] = line;
        else if (word == "player")
            run.Dumps.back().Player = line;
        else if (word == "shell")
            run.Dumps.back().Shell = line;
        else if (word == "box")
            run.Dumps.back().Boxes.push_back(line);
    }
    return run;
}

} // namespace scenariotest
