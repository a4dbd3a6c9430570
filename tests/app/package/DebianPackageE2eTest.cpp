// The Debian package, made by `cpack -G DEB` from the build folder into a directory of
// the test's own: its dependencies come from dpkg-shlibdeps, its desktop entry and
// metainfo pass their validators, lintian finds no error, and the program unpacked from
// it into a scratch root runs through its screens on a virtual display.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/common/Command.h"
#include "tests/common/TempDir.h"

namespace {

namespace fs = std::filesystem;
using testutil::RunCommand;
using testutil::TTempDir;

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

TEST(DebianPackage, BuildsValidatesInstallsAndRuns) {
    TTempDir dir("quillot-package");
    const testutil::TCommandRun made = RunCommand(
        "cd " + Quote(QUILLOT_BUILD_DIR) + " && cpack -G DEB -B " + Quote(dir.String()) + " 2>&1");
    ASSERT_EQ(made.Exit, 0) << made.Out;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        if (entry.path().extension() == ".deb")
            deb = entry.path().string();
    ASSERT_FALSE(deb.empty()) << made.Out;

    // Derived dependencies: the runtime libraries the program links, SDL's among them, and
    // FFmpeg's, which its media module links.
    const std::string depends = RunCommand("dpkg-deb -f " + Quote(deb) + " Depends").Out;
    EXPECT_NE(depends.find("libsdl2-2.0-0"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libavcodec"), std::string::npos) << depends;

    const std::string root = dir / "root";
    ASSERT_EQ(RunCommand("dpkg -x " + Quote(deb) + " " + Quote(root)).Exit, 0);
    const char* files[] = {
        "usr/bin/quillot",
        "usr/lib/quillot/quillot",
        "usr/lib/quillot/quillot-media.so",
        "usr/lib/quillot/main_eng.avi",
        "usr/lib/quillot/all.avi",
        "usr/share/applications/quillot.desktop",
        "usr/share/icons/hicolor/16x16/apps/quillot.png",
        "usr/share/icons/hicolor/256x256/apps/quillot.png",
        "usr/share/metainfo/org.quillot.Quillot.metainfo.xml",
        "usr/share/man/man1/quillot.1.gz",
        "usr/share/doc/quillot/copyright",
        "usr/share/doc/quillot/changelog.gz",
    };
    for (const char* file : files)
        EXPECT_TRUE(fs::exists(fs::path(root) / file)) << "the package holds no " << file;

    const testutil::TCommandRun desktop =
        RunCommand("desktop-file-validate " +
                   Quote(root + "/usr/share/applications/quillot.desktop") + " 2>&1");
    EXPECT_EQ(desktop.Exit, 0) << desktop.Out;
    const testutil::TCommandRun metainfo =
        RunCommand("appstreamcli validate --no-net " +
                   Quote(root + "/usr/share/metainfo/org.quillot.Quillot.metainfo.xml") + " 2>&1");
    EXPECT_EQ(metainfo.Exit, 0) << metainfo.Out;
    const testutil::TCommandRun lint =
        RunCommand("lintian --fail-on error --allow-root " + Quote(deb) + " 2>&1");
    EXPECT_EQ(lint.Exit, 0) << lint.Out;

    // The installed command (a link into /usr/lib/quillot) finds its clips beside the
    // program it points to, and the walk of scripts/run goes through every screen.
    const testutil::TCommandRun walk =
        RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY xvfb-run -a -s '-screen 0 1280x1024x24' " +
                   Quote(std::string(QUILLOT_SOURCE_DIR) + "/scripts/run") + " --walk " +
                   Quote(root + "/usr/bin/quillot") + " " + Quote(dir / "screens") + " 2>&1");
    EXPECT_EQ(walk.Exit, 0) << walk.Out;
    EXPECT_NE(walk.Out.find("ended with exit code 0"), std::string::npos) << walk.Out;
    for (const char* shot :
         {"1-start", "3-category-english", "4-clip-man-english", "8-category-korean"})
        EXPECT_TRUE(fs::exists(fs::path(dir / "screens") / (std::string(shot) + ".png")))
            << "no screenshot " << shot;
}

} // namespace
