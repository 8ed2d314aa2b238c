// The editor's command line and the list of recent probe files.
#include <gtest/gtest.h>

#include "editor/collections/recent_files.h"
#include "editor/lifecycle/command_line.h"

namespace {

using lifecycle::CommandLine;
using lifecycle::parseCommandLine;

TEST(CommandLine, AFileToLoadHelpVersionAndMistakes) {
    EXPECT_EQ(parseCommandLine({}).action, CommandLine::Action::run);
    EXPECT_TRUE(parseCommandLine({}).probeFile.empty());
    const CommandLine file = parseCommandLine({"examples/probes.dt"});
    EXPECT_EQ(file.action, CommandLine::Action::run);
    EXPECT_EQ(file.probeFile, "examples/probes.dt");
    EXPECT_EQ(parseCommandLine({"--", "-odd.dt"}).probeFile, "-odd.dt");

    const CommandLine help = parseCommandLine({"a.dt", "--help"});
    EXPECT_EQ(help.action, CommandLine::Action::help);
    EXPECT_NE(help.text.find("Использование: probe_editor"), std::string::npos);
    const CommandLine version = parseCommandLine({"--version"});
    EXPECT_EQ(version.action, CommandLine::Action::version);
    EXPECT_NE(version.text.find("Редактор ЖУВ"), std::string::npos);

    EXPECT_EQ(parseCommandLine({"--verbose"}).action, CommandLine::Action::error);
    EXPECT_NE(parseCommandLine({"--verbose"}).text.find("--verbose"), std::string::npos);
    EXPECT_EQ(parseCommandLine({"a.dt", "b.dt"}).action, CommandLine::Action::error);
}

TEST(CommandLine, MistakesAreFoundBeforeTheToolkitTakesItsOptions) {
    using lifecycle::CommandLine;
    using lifecycle::parseCommandLineBeforeToolkit;
    EXPECT_EQ(parseCommandLineBeforeToolkit({"-v"}).action, CommandLine::Action::error);
    EXPECT_EQ(parseCommandLineBeforeToolkit({"-platform", "offscreen", "--bogus"}).action,
              CommandLine::Action::error);
    const CommandLine run = parseCommandLineBeforeToolkit(
        {"-platform", "offscreen", "--style=fusion", "-reverse", "a.dt", "-geometry", "9x9"});
    EXPECT_EQ(run.action, CommandLine::Action::run);
    EXPECT_EQ(run.probeFile, "a.dt");
    // After "--" a name that looks like an option is a file.
    EXPECT_EQ(parseCommandLineBeforeToolkit({"--", "-platform"}).probeFile, "-platform");
}

TEST(RecentFiles, FilesOfTheSameNameShowTheirFolders) {
    const collections::RecentFiles recent({"/home/a/probes.dt", "/b.dt", "/home/c/probes.dt"});
    EXPECT_EQ(recent.captions(),
              (std::vector<std::string>{"probes.dt (/home/a)", "b.dt", "probes.dt (/home/c)"}));
}

TEST(RecentFiles, NewestFirstFiveAtMostNoRepeats) {
    collections::RecentFiles recent(
        {"/a.dt", "", "/b.dt", "/a.dt", "/c.dt", "/d.dt", "/e.dt", "/f.dt"});
    EXPECT_EQ(recent.paths(),
              (std::vector<std::string>{"/a.dt", "/b.dt", "/c.dt", "/d.dt", "/e.dt"}));
    recent.use("/d.dt");
    recent.use("/g.dt");
    EXPECT_EQ(recent.paths(),
              (std::vector<std::string>{"/g.dt", "/d.dt", "/a.dt", "/b.dt", "/c.dt"}));
    recent.forget("/a.dt");
    recent.use("");
    EXPECT_EQ(recent.paths(), (std::vector<std::string>{"/g.dt", "/d.dt", "/b.dt", "/c.dt"}));
}

}  // namespace
