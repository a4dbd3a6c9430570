// The scenario runner in this process: what `dump` shows when the catalogue could not
// start (its form resource is missing here), so that a failed start is never silent.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "formstream/FormResources.h"
#include "rtl/Stream.h"
#include "tools/dev/scenario/Runner.h"

namespace {

std::unique_ptr<rtl::TStream> NoFormResource(std::string_view) {
    return nullptr;
}

TEST(ScenarioRunner, DumpAfterAFailedStartShowsWhatFailed) {
    formstream::SetFormResourceLookup(&NoFormResource);
    struct TRealResources {
        ~TRealResources() { formstream::SetFormResourceLookup(nullptr); }
    } realResourcesAfterwards;
    scenario::TCommand dump;
    dump.Kind = scenario::TCommandKind::Dump;
    dump.Line = 1;
    const std::vector<scenario::TCommand> commands = {dump};
    scenario::TRunOptions options;
    options.ExecutablePath = "/opt/catalogue/quillot";
    std::ostringstream out, err;
    EXPECT_EQ(scenario::RunScenario(commands, options, out, err), 0);
    EXPECT_EQ(out.str(), "window none\n"
                         "box caption=\"quillot\" text=\"Resource TForm1 not found.\"\n"
                         "exit 0\n");
    EXPECT_EQ(err.str(), "");
}

} // namespace
