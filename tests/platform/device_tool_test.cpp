// The emulated handheld's tool, skylode-device, run as a person runs it: which
// folders it makes a handheld, which it refuses, and where the handheld is by
// default.
#include <filesystem>
#include <fstream>

#include "support/device_fixture.h"
#include "support/skylode_process.h"

namespace {

namespace fs = std::filesystem;

class DeviceToolTest : public DeviceTest {
 protected:
  ProgramRun Tool(const std::string& device, std::vector<std::string> args,
                  std::map<std::string, std::string> env = {}) {
    return RunDeviceTool(root_, device, {std::move(args), std::move(env), 30});
  }
  bool IsHandheld(const std::string& dir) {
    return fs::is_regular_file(dir + "/registry.reg") && fs::is_directory(dir + "/fs/windows");
  }
};

TEST_F(DeviceToolTest, InitMakesAMissingOrEmptyFolderAHandheld) {
  for (const char* name : {"missing/device", "empty"}) {
    SCOPED_TRACE(name);
    std::string dir = root_ + "/" + name;
    if (std::string(name) == "empty") fs::create_directories(dir);
    ProgramRun run = Tool(dir, {"init"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, dir + "\n");
    EXPECT_TRUE(IsHandheld(dir));
    // Skylode starts on it.
    ProgramRun skylode = RunSkylode(dir, "dump\n");
    EXPECT_EQ(skylode.exit_code, 0) << skylode.err;
    EXPECT_NE(skylode.out.find("caption: Skylode\n"), std::string::npos) << skylode.out;
  }

  // A handheld stays as it is.
  WriteRegistry("[HKEY_LOCAL_MACHINE\\Mine]\n");
  std::string before = ReadHostFile("registry.reg");
  ProgramRun run = Tool(dir_, {"init"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, dir_ + "\n");
  EXPECT_EQ(ReadHostFile("registry.reg"), before);
}

TEST_F(DeviceToolTest, InitRefusesWhatIsNoHandheld) {
  fs::create_directories(root_ + "/notes");
  std::ofstream(root_ + "/notes/todo.txt") << "buy milk";
  std::ofstream(root_ + "/a-file") << "x";
  const struct {
    const char* name;
    std::string says;
  } cases[] = {
      {"notes",
       "is not a handheld (no registry.reg and no fs/ folder) and not empty (it holds "
       "todo.txt); init makes a new handheld only in a missing or empty folder\n"},
      {"a-file",
       "is not a folder, so it cannot be a handheld; skylode-device init makes one in "
       "a missing or empty folder\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = root_ + "/" + c.name;
    ProgramRun run = Tool(path, {"init"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "skylode-device: " + path + " " + c.says);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ + "/notes"), fs::directory_iterator()), 1);
  EXPECT_TRUE(fs::is_regular_file(root_ + "/a-file"));
}

TEST_F(DeviceToolTest, LaunchMakesNoHandheld) {
  std::string dir = root_ + "/missing";
  ProgramRun run = Tool(dir, {"launch", "\\Windows\\Start Menu\\Programs\\Skylode auto.lnk"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "skylode-device: there is no handheld at " + dir +
                         "; skylode-device init makes one in a missing or empty folder\n");
  EXPECT_FALSE(fs::exists(dir));
}

TEST_F(DeviceToolTest, TheDefaultPlaceFollowsTheXdgRules) {
  std::string home = root_ + "/home", data = root_ + "/data";
  const struct {
    const char* name;
    std::string home, xdg, device;
  } cases[] = {
      {"XDG_DATA_HOME", home, data, data + "/skylode/device"},
      {"no XDG_DATA_HOME", home, "", home + "/.local/share/skylode/device"},
      {"relative XDG_DATA_HOME", home, "data", home + "/.local/share/skylode/device"},
      {"no HOME", "", data, data + "/skylode/device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramRun run =
        Tool("", {"init"}, {{"SKYLODE_DEVICE", ""}, {"HOME", c.home}, {"XDG_DATA_HOME", c.xdg}});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, c.device + "\n");
    EXPECT_TRUE(IsHandheld(c.device));
    fs::remove_all(home);
    fs::remove_all(data);
  }
  // Nowhere to put it: refused, and nothing made in the current folder.
  ProgramRun run =
      Tool("", {"init"}, {{"SKYLODE_DEVICE", ""}, {"HOME", "relative"}, {"XDG_DATA_HOME", ""}});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("set SKYLODE_DEVICE"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(root_ + "/relative"));
  EXPECT_FALSE(fs::exists(root_ + "/.local"));
}

TEST_F(DeviceToolTest, HelpGoesToStandardOutput) {
  ProgramRun help = Tool(dir_, {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.find("usage: skylode-device init\n"), 0u) << help.out;
  EXPECT_NE(help.out.find("launch <shortcut>"), std::string::npos);

  ProgramRun wrong = Tool(dir_, {"start"});
  EXPECT_EQ(wrong.exit_code, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err, help.out);
}

}  // namespace
