// Runs the `scenario` program on a script in a directory of its own (removed again) and
// parses its dump: one map per `dump`, keyed by the first word(s) of each line.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace scenariotest {

// A directory unique to this run, removed with the object.
class TTempDir {
public:
    TTempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillot-app-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

struct TDump {
    std::string Window;
    std::map<std::string, std::string> Components; // name -> rest of the line
    std::string Player;
    std::string Shell;
    std::vector<std::string> Boxes;

    // The value of `key=` in a line (quoted values without their quotes).
    static std::string Field(const std::string& line, const std::string& key) {
        const std::string k = " " + key + "=";
        std::size_t p = line.find(k);
        if (p == std::string::npos)
            return "<none>";
        p += k.size();
        if (p < line.size() && line[p] == '"') {
            std::string v;
            for (++p; p < line.size(); ++p) {
                if (line[p] == '"') {
                    if (p + 1 < line.size() && line[p + 1] == '"')
                        ++p; // a doubled quote inside the value
                    else
                        break;
                }
                v += line[p];
            }
            return v;
        }
        return line.substr(p, line.find(' ', p) - p);
    }
    std::string Of(const std::string& component, const std::string& key) const {
        auto it = Components.find(component);
        return it == Components.end() ? "<no component>" : Field(it->second, key);
    }
};

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
    std::vector<TDump> Dumps;
    std::vector<std::string> Lines;
    int ExitLine = -1; // N of "exit N", -1 without
};

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline TRun RunScenario(const TTempDir& dir, const std::string& script,
                        const std::string& args = "") {
    const auto scriptPath = dir.Path() / "script.txt";
    std::ofstream(scriptPath) << script;
    const auto out = dir.Path() / "out.txt";
    const auto err = dir.Path() / "err.txt";
    const std::string command = std::string("'") + SCENARIO_PATH + "' " + args + " '" +
                                scriptPath.string() + "' >'" + out.string() + "' 2>'" +
                                err.string() + "'";
    TRun run;
    const int raw = std::system(command.c_str());
    run.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.Out = ReadAll(out);
    run.Err = ReadAll(err);
    std::istringstream lines(run.Out);
    for (std::string line; std::getline(lines, line);) {
        run.Lines.push_back(line);
        if (line.rfind("window ", 0) == 0) {
            run.Dumps.emplace_back();
            run.Dumps.back().Window = line;
        } else if (line.rfind("component ", 0) == 0 && !run.Dumps.empty()) {
            std::istringstream w(line);
            std::string word, name;
            w >> word >> name;
            run.Dumps.back().Components[name] = line;
        } else if (line.rfind("player ", 0) == 0 && !run.Dumps.empty()) {
            run.Dumps.back().Player = line;
        } else if (line.rfind("shell ", 0) == 0 && !run.Dumps.empty()) {
            run.Dumps.back().Shell = line;
        } else if (line.rfind("box ", 0) == 0 && !run.Dumps.empty()) {
            run.Dumps.back().Boxes.push_back(line);
        } else if (line.rfind("exit ", 0) == 0) {
            run.ExitLine = std::atoi(line.c_str() + 5);
        }
    }
    return run;
}

} // namespace scenariotest
