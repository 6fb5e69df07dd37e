// The dialog's start-up on prepared handhelds, through the real program and
// its script display.
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "support/device_fixture.h"
#include "support/handheld_builders.h"
#include "support/skylode_process.h"

namespace {

const char* kPresets[] = {
    "http://ee.maker-a.example/packedEphemeris.ee",
    "http://service.maker-b.example/eeservice/packedephemeris.ee",
    "http://eu.maker-c.example/clm/packedEphemeris.ee",
    "http://us.maker-c.example/clm/packedEphemeris.ee",
    "http://asia.maker-c.example/clm/packedEphemeris.ee",
};

std::string PresetList() {
  std::string out;
  for (int i = 0; i < 5; ++i) out += "list: " + std::to_string(i) + " " + kPresets[i] + "\n";
  return out;
}

class StartupTest : public DeviceTest {
 protected:
  // Starts the program, dumps the dialog and lets it close at the end of input.
  std::string Dump() {
    ProgramRun run = RunSkylode(dir_, "dump\n");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("\nend\nclosed\n"), std::string::npos) << run.out;
    return run.out;
  }
};

struct AddressCase {
  const char* name;
  std::string registry;     // what the key holds
  std::string extra_entry;  // a sixth list entry, if any
  int selected;
  std::string field;
};

TEST_F(StartupTest, RemembersTheAddressOfTheLastUpdate) {
  std::string long_address = "http://example.com/" + std::string(1005, 'a');  // 1024 characters
  std::string longest = long_address.substr(0, 1023);
  std::string prefix_of_4 = std::string(kPresets[3]).substr(0, 30);
  const AddressCase cases[] = {
      {"no key", "", "", 0, kPresets[0]},
      {"key without url", kClientKey, "", 0, kPresets[0]},
      {"url is preset 4", std::string(kClientKey) + "\"url\"=\"" + kPresets[3] + "\"\n", "", 3,
       kPresets[3]},
      {"url is preset 2 in capitals",
       std::string(kClientKey) +
           "\"url\"=\"HTTP://SERVICE.MAKER-B.EXAMPLE/EESERVICE/PACKEDEPHEMERIS.EE\"\n",
       "", 1, kPresets[1]},
      {"url not in the list",
       std::string(kClientKey) + "\"url\"=\"https://ee.mine.example/x.ee\"\n",
       "https://ee.mine.example/x.ee", 5, "https://ee.mine.example/x.ee"},
      {"url begins like preset 4", std::string(kClientKey) + "\"url\"=\"" + prefix_of_4 + "\"\n",
       prefix_of_4, 5, prefix_of_4},
      {"url of 1023 characters", std::string(kClientKey) + "\"url\"=\"" + longest + "\"\n", longest,
       5, longest},
      {"url of 1024 characters", std::string(kClientKey) + "\"url\"=\"" + long_address + "\"\n", "",
       0, kPresets[0]},
      {"url not a text", std::string(kClientKey) + "\"url\"=hex:68,00,74,00,00,00\n", "", 0,
       kPresets[0]},
      {"url without terminator", std::string(kClientKey) + "\"url\"=hex(1):68,00,74,00\n", "ht", 5,
       "ht"},
      // An Update with an empty box remembered nothing to select.
      {"url empty", std::string(kClientKey) + "\"url\"=\"\"\n", "", 0, kPresets[0]},
      {"url a lone terminator", std::string(kClientKey) + "\"url\"=hex(1):00,00\n", "", 0,
       kPresets[0]},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteRegistry(c.registry);
    std::string expected = "caption: Skylode\n" + PresetList();
    if (!c.extra_entry.empty()) expected += "list: 5 " + c.extra_entry + "\n";
    expected += "selected: " + std::to_string(c.selected) + "\nfield: " + c.field + "\n";
    std::string out = Dump();
    EXPECT_EQ(LinesStarting(out, "caption:") + LinesStarting(out, "list:") +
                  LinesStarting(out, "selected:") + LinesStarting(out, "field:"),
              expected);
  }
}

struct StatusCase {
  const char* name;
  TIME_ZONE_INFORMATION zone;
  std::string record;
  std::string status;
};

TEST_F(StartupTest, ShowsTheReceiversValidityInLocalTime) {
  const StatusCase cases[] = {
      {"8 hours east", Zone(-480), Record(2009, 6, 15, 14, 30),
       "status: shown Updated until 2009-06-15 22:30"},
      {"central Europe in summer", CentralEurope(), Record(2009, 7, 1, 12, 0),
       "status: shown Updated until 2009-07-01 14:00"},
      {"central Europe in winter", CentralEurope(), Record(2009, 12, 31, 23, 30),
       "status: shown Updated until 2010-01-01 00:30"},
      {"5 hours west in winter", UsEastern(), Record(2009, 1, 1, 2, 0),
       "status: shown Updated until 2008-12-31 21:00"},
      {"31 April", Zone(0), Record(2009, 4, 31, 10, 0),
       "status: shown Updated until 2009-05-01 10:00"},
      {"29 February of a common year", Zone(0), Record(2009, 2, 29, 0, 0),
       "status: shown Updated until 2009-03-01 00:00"},
      {"zero-filled fields", Zone(0), Record(2010, 1, 2, 3, 5),
       "status: shown Updated until 2010-01-02 03:05"},
      {"no record", Zone(0), "", "status: hidden"},
      {"month 13", Zone(0), Record(2009, 13, 1, 0, 0), "status: hidden"},
      {"minute 60", Zone(0), Record(2009, 1, 1, 0, 60), "status: hidden"},
      {"before 1970", Zone(0), Record(1969, 12, 31, 23, 59), "status: hidden"},
      {"after 3000", Zone(0), Record(3001, 1, 1, 0, 0), "status: hidden"},
      // Read as local standard time, the first half hour of 1970 east of
      // UTC is still 1969 in UTC; the local time shown may pass 3000.
      {"first hour of 1970 east of UTC", CentralEurope(), Record(1970, 1, 1, 0, 30),
       "status: hidden"},
      {"last hour of 3000 east of UTC", CentralEurope(), Record(3000, 12, 31, 23, 30),
       "status: shown Updated until 3001-01-01 00:30"},
      {"short record", Zone(0), Record(2009, 6, 15, 14, 30).substr(0, 8), "status: hidden"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteRegistry(ZoneRegistry(c.zone));
    std::filesystem::remove(Path("dev/COM7/validity"));
    if (!c.record.empty()) WriteHostFile("dev/COM7/validity", c.record);
    std::string out = Dump();
    // A shown status line is told as it appears, and again by the dump.
    std::string expected = c.status + "\n";
    if (c.status != "status: hidden") expected += expected;
    EXPECT_EQ(LinesStarting(out, "status:"), expected) << out;
    EXPECT_EQ(LinesStarting(out, "box:"), "");
  }
}

TEST_F(StartupTest, ReceiverTroubleAtStartIsPassedOverInSilence) {
  WriteRegistry(ZoneRegistry(Zone(0)));
  WriteHostFile("dev/COM7/validity", Record(2009, 6, 15, 14, 30));

  WriteHostFile("dev/COM7/validity-error", "31");
  EXPECT_EQ(LinesStarting(Dump(), "status:"), "status: hidden\n");
  std::filesystem::remove(Path("dev/COM7/validity-error"));

  {  // another program holds the port
    int fd = open(Path("dev/COM7/lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    std::string out = Dump();
    close(fd);
    EXPECT_EQ(LinesStarting(out, "status:"), "status: hidden\n");
    EXPECT_EQ(LinesStarting(out, "box:"), "");
  }

  std::filesystem::rename(Path("dev/COM7"), Path("dev/COM9"));
  EXPECT_EQ(LinesStarting(Dump(), "status:"), "status: hidden\n");

  // The driver's setting names the port that is there.
  WriteRegistry(ZoneRegistry(Zone(0)) +
                "[HKEY_LOCAL_MACHINE\\drivers\\builtin\\vr_com]\n\"index\"=dword:00000009\n");
  EXPECT_EQ(LinesStarting(Dump(), "status:"),
            "status: shown Updated until 2009-06-15 14:30\n"
            "status: shown Updated until 2009-06-15 14:30\n");
}

TEST_F(StartupTest, ShowsTheDialogAsTheTemplateMakesIt) {
  std::string out = Dump();
  EXPECT_EQ(LinesStarting(out, "progress:") + LinesStarting(out, "update:") +
                LinesStarting(out, "cursor:") + LinesStarting(out, "status:"),
            "progress: hidden\nupdate: enabled\ncursor: arrow\nstatus: hidden\n");
}

TEST_F(StartupTest, TheCaptionsOkEndsTheProgram) {
  ProgramRun run = RunSkylode(dir_, "ok\ndump\n");
  EXPECT_EQ(run.out, "closed\n");
  EXPECT_EQ(run.exit_code, 0);
}

TEST_F(StartupTest, CommandsThatCannotBeDoneSayWhy) {
  ProgramRun run = RunSkylode(
      dir_, "click 1005\nclick 1009\nclick x\nselect 9\nyes\nok 1\nfly\n\nselect 2\ndump\n");
  EXPECT_EQ(LinesStarting(run.out, "error:"),
            "error: click 1005: control 1005 is hidden\n"
            "error: click 1009: the dialog has no control 1009\n"
            "error: click x: give a control id, e.g. click 1000\n"
            "error: select 9: the list has 5 entries\n"
            "error: yes: no message box is open\n"
            "error: ok 1: ok takes nothing after it\n"
            "error: fly: unknown command; help lists the commands\n");
  EXPECT_EQ(LinesStarting(run.out, "selected:"), "selected: 2\n");

  // With a box open, the dialog waits for its answer.
  WriteHostFile("offline", "");
  run = RunSkylode(dir_, "click 1000\nselect 1\nok\nno\ndump\n");
  EXPECT_EQ(LinesStarting(run.out, "error:"),
            "error: select 1: a message box is open; answer it first\n"
            "error: ok: the box has no OK button\n");
  EXPECT_EQ(LinesStarting(run.out, "answer:"), "answer: no\n");
}

TEST_F(StartupTest, HelpListsEveryCommand) {
  ProgramRun run = RunSkylode(dir_, "help\n");
  std::string help = LinesStarting(run.out, "help:");
  for (const char* command :
       {"click <id>", "type <text>", "select <n>", "ok ", "cancel ", "yes, no", "dump ", "help "})
    EXPECT_NE(help.find("help: " + std::string(command)), std::string::npos) << command << help;
  EXPECT_EQ(LinesStarting(run.out, "error:"), "");
}

TEST_F(StartupTest, ControlCharactersArePrintedEscaped) {
  // A remembered address with line breaks and other control characters, as
  // a registry may hold it; a typed one; a refused command.
  std::u16string url = u"http://x/a\r\nbox: y\\z\x1b[2J\x85\u2028";
  WriteRegistry(std::string(kClientKey) + "\"url\"=hex(1):" + HexList(url.data(), url.size() * 2) +
                ",00,00\n");
  ProgramRun run = RunSkylode(dir_, "dump\ntype a\tb\x01 c\ndump\nfly\x7f away\n");
  std::string remembered = R"(http://x/a\r\nbox: y\\z\x1b[2J\x85\u2028)";
  EXPECT_EQ(LinesStarting(run.out, "list: 5"),
            "list: 5 " + remembered + "\n" + "list: 5 " + remembered + "\n");
  EXPECT_EQ(LinesStarting(run.out, "field:"),
            "field: " + remembered + "\n" + R"(field: a\tb\x01 c)" + "\n");
  EXPECT_EQ(LinesStarting(run.out, "error:"),
            std::string(R"(error: fly\x7f away: unknown command; help lists the commands)") + "\n");
}

TEST_F(StartupTest, ASecondStartBringsTheFirstToTheFront) {
  RunningSkylode first(dir_);
  first.Send("dump\n");
  ASSERT_TRUE(first.WaitForLine("end"));
  ProgramRun second = RunSkylode(dir_, "dump\n");
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err,
            "Skylode is already running on this handheld; it was brought to the front.\n");
  EXPECT_EQ(second.exit_code, 0);
  EXPECT_TRUE(first.WaitForLine("foreground"));
  ProgramRun rest = first.Finish();
  EXPECT_NE(rest.out.find("foreground\nclosed\n"), std::string::npos) << rest.out;
}

// The host's side of a start: the handheld Skylode is given, and the options
// the Linux entry answers itself.
class HostStartTest : public DeviceTest {
 protected:
  // Skylode on the folder `rel` of the test's temporary folder.
  ProgramRun StartOn(const std::string& rel, const ProgramOptions& options = {}) {
    return RunSkylodeIn(root_, root_ + "/" + rel, "dump\n", options);
  }
  std::string Listing(const std::string& rel) {
    std::string names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root_ + "/" + rel))
      names += e.path().filename().string() + " ";
    return names;
  }
};

TEST_F(HostStartTest, AFolderThatIsNoHandheldIsRefused) {
  std::filesystem::create_directories(root_ + "/empty");
  std::filesystem::create_directories(root_ + "/no-fs");
  std::ofstream(root_ + "/no-fs/registry.reg") << "Windows Registry Editor Version 5.00\n";
  std::filesystem::create_directories(root_ + "/photos/2009");
  std::ofstream(root_ + "/a-file") << "x";
  const struct {
    const char* folder;
    std::string missing;  // what standard error names
  } cases[] = {
      {"empty", "(no registry.reg and no fs/ folder)"},
      {"no-fs", "(no fs/ folder)"},
      {"photos", "(no registry.reg and no fs/ folder)"},
      {"a-file", "is not a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    std::string before = Listing(".");
    ProgramRun run = StartOn(c.folder);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.find("Skylode: " + root_ + "/" + c.folder), 0u) << run.err;
    EXPECT_NE(run.err.find(c.missing), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("skylode-device init makes one"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(Listing("."), before) << "nothing made";
  }

  // A missing folder is still made as a new handheld.
  ProgramRun run = StartOn("new/device");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("caption: Skylode\n"), std::string::npos) << run.out;
  EXPECT_TRUE(std::filesystem::is_regular_file(root_ + "/new/device/registry.reg"));
}

TEST_F(HostStartTest, WithoutAPlaceForTheHandheldNothingIsMadeHere) {
  for (const char* xdg : {"", "relative/data"}) {
    SCOPED_TRACE(xdg);
    ProgramRun run =
        StartOn("", {{}, {{"SKYLODE_DEVICE", ""}, {"HOME", ""}, {"XDG_DATA_HOME", xdg}}, 30});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err,
              "Skylode: no place for the handheld: neither HOME nor XDG_DATA_HOME is an absolute "
              "path; set SKYLODE_DEVICE to the handheld's folder\n");
    EXPECT_FALSE(std::filesystem::exists(root_ + "/.local"));
    EXPECT_FALSE(std::filesystem::exists(root_ + "/relative"));
  }
}

// The version record's ProductVersion, as res/Skylode.rc has it.
std::string RecordedVersion() {
  std::ifstream rc(SKYLODE_SOURCE_DIR "/res/Skylode.rc");
  std::string line, key = "VALUE \"ProductVersion\", \"";
  while (std::getline(rc, line))
    if (auto at = line.find(key); at != std::string::npos)
      return line.substr(at + key.size(), line.rfind('"') - at - key.size());
  return "";
}

TEST_F(HostStartTest, HelpAndVersionAreAnsweredBeforeTheHandheldStarts) {
  std::string trace = root_ + "/trace";
  ProgramOptions options{{"--help"}, {{"SKYLODE_TRACE", trace}}, 30};
  ProgramRun help = StartOn("none", options);
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.find("Usage: Skylode [/u]\n"), 0u) << help.out;
  for (const char* told : {"  /u ", "SKYLODE_DEVICE ", "SKYLODE_DISPLAY ", "SKYLODE_TRACE=",
                           "SKYLODE_FAULTS=", "SKYLODE_HTTP_TIMEOUT_MS ", "Exit status:\n  0 ",
                           "\n  1 ", "More in " SKYLODE_SOURCE_DIR "/README.md\n"})
    EXPECT_NE(help.out.find(told), std::string::npos) << told;

  options.args = {"/u", "--version"};
  ProgramRun version = StartOn("none", options);
  ASSERT_NE(RecordedVersion(), "");
  EXPECT_EQ(version.out, "Skylode " + RecordedVersion() + "\n");
  EXPECT_EQ(version.exit_code, 0);

  // Neither started the handheld: no handheld made, no OS call made.
  EXPECT_FALSE(std::filesystem::exists(root_ + "/none"));
  EXPECT_FALSE(std::filesystem::exists(trace));
}

}  // namespace
