// The handheld's file system: fs/ of the device folder through the file calls.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "core/api_call.h"
#include "support/device_fixture.h"
#include "core/wide.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

class FilesTest : public DeviceTest {
 protected:
  HANDLE Open(LPCWSTR name, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileW(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  // The whole file through ReadFile.
  std::string ReadAll(LPCWSTR name) {
    HANDLE h = Open(name, GENERIC_READ, kShareAll, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
    std::string out;
    char buf[7];  // small, so reads come in several parts
    DWORD got;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
    CloseHandle(h);
    return out;
  }
};

TEST_F(FilesTest, NamesMatchWithoutRegardToCaseAndNewNamesKeepTheirCase) {
  WriteHostFile("fs/windows/ZUZIdarudaZozo.ee", "abc");
  EXPECT_EQ(ReadAll(u"\\WINDOWS\\zuzidarudazozo.EE"), "abc");
  EXPECT_EQ(ReadAll(u"/windows/ZUZIdarudaZozo.ee"), "abc");
  // "." and ".." apply to the name, as on the handheld: "sub" need not exist.
  EXPECT_EQ(ReadAll(u"\\windows\\.\\sub\\..\\ZUZIDARUDAZOZO.EE"), "abc");

  HANDLE h = Open(u"\\Windows\\New File.Txt", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(
      Exists("fs/windows/New File.Txt"));  // the folder keeps its case, the file takes its own
  EXPECT_EQ(Open(u"\\WINDOWS\\NEW FILE.TXT", GENERIC_READ, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
}

TEST_F(FilesTest, PathsLeadingOutOfFsAreRefusedAndNeverFollowed) {
  WriteHostFile("outside.txt", "keep");
  std::filesystem::create_symlink(Path("outside.txt"), Path("fs/link-out.txt"));
  std::filesystem::create_directory_symlink(dir_, Path("fs/windows/device"));
  std::filesystem::create_symlink(Path("fs/missing-target"), Path("fs/dangling"));
  std::filesystem::create_directory_symlink(Path("fs/windows"), Path("fs/alias"));
  WriteHostFile("fs/windows/in.txt", "inside");

  for (LPCWSTR name : {u"\\..\\outside.txt", u"\\windows\\..\\..\\outside.txt", u"\\link-out.txt",
                       u"\\windows\\device\\outside.txt", u"\\dangling"}) {
    SCOPED_TRACE(emu::ToUtf8(name));
    SetLastError(0);
    EXPECT_EQ(Open(name, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(DeleteFileW(name), FALSE);
    EXPECT_EQ(GetFileAttributesW(name), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(ReadHostFile("outside.txt"), "keep");
  EXPECT_FALSE(Exists("fs/missing-target"));
  // A link that stays inside fs/ is followed.
  EXPECT_EQ(ReadAll(u"\\ALIAS\\in.txt"), "inside");
}

TEST_F(FilesTest, FailuresGiveTheHandheldsErrorCodes) {
  WriteHostFile("fs/windows/a.txt", "a");
  WriteHostFile("fs/windows/b.txt", "b");
  auto open = [this](LPCWSTR name, DWORD disposition) {
    return [=, this] { return Open(name, GENERIC_READ, 0, disposition) != INVALID_HANDLE_VALUE; };
  };
  HANDLE bad = reinterpret_cast<HANDLE>(0x7777);
  char buf[4];
  DWORD n;
  struct Case {
    const char* what;
    std::function<bool()> call;
    DWORD error;
  } cases[] = {
      {"open missing file", open(u"\\windows\\none.txt", OPEN_EXISTING), ERROR_FILE_NOT_FOUND},
      {"open in missing folder", open(u"\\nodir\\a.txt", OPEN_EXISTING), ERROR_PATH_NOT_FOUND},
      {"create in missing folder", open(u"\\nodir\\a.txt", CREATE_ALWAYS), ERROR_PATH_NOT_FOUND},
      {"file used as folder", open(u"\\windows\\a.txt\\x", OPEN_ALWAYS), ERROR_PATH_NOT_FOUND},
      {"truncate missing file", open(u"\\windows\\none.txt", TRUNCATE_EXISTING),
       ERROR_INVALID_PARAMETER},  // TRUNCATE_EXISTING needs write access
      {"create existing", open(u"\\windows\\A.TXT", CREATE_NEW), ERROR_FILE_EXISTS},
      {"open folder", open(u"\\windows", OPEN_EXISTING), ERROR_ACCESS_DENIED},
      {"bad disposition", open(u"\\windows\\a.txt", 9), ERROR_INVALID_PARAMETER},
      {"bad character", open(u"\\windows\\a?.txt", OPEN_ALWAYS), ERROR_INVALID_NAME},
      {"null name", [] { return DeleteFileW(nullptr) != FALSE; }, ERROR_INVALID_PARAMETER},
      {"delete missing", [] { return DeleteFileW(u"\\windows\\none.txt") != FALSE; },
       ERROR_FILE_NOT_FOUND},
      {"delete folder", [] { return DeleteFileW(u"\\windows") != FALSE; }, ERROR_ACCESS_DENIED},
      {"move onto existing", [] { return MoveFileW(u"\\windows\\a.txt", u"\\windows\\B.txt"); },
       ERROR_ALREADY_EXISTS},
      {"move missing", [] { return MoveFileW(u"\\windows\\none", u"\\windows\\c.txt"); },
       ERROR_FILE_NOT_FOUND},
      {"move into missing folder", [] { return MoveFileW(u"\\windows\\a.txt", u"\\no\\c.txt"); },
       ERROR_PATH_NOT_FOUND},
      {"replace missing target",
       [] { return DeleteAndRenameFile(u"\\windows\\none", u"\\windows\\a.txt"); },
       ERROR_FILE_NOT_FOUND},
      {"replace from missing file",
       [] { return DeleteAndRenameFile(u"\\windows\\a.txt", u"\\windows\\none"); },
       ERROR_FILE_NOT_FOUND},
      {"replace in missing folder",
       [] { return DeleteAndRenameFile(u"\\no\\a.txt", u"\\windows\\a.txt"); },
       ERROR_PATH_NOT_FOUND},
      {"replace a folder", [] { return DeleteAndRenameFile(u"\\windows", u"\\windows\\a.txt"); },
       ERROR_ACCESS_DENIED},
      {"replace by itself",
       [] { return DeleteAndRenameFile(u"\\windows\\a.txt", u"\\WINDOWS\\A.TXT"); },
       ERROR_ACCESS_DENIED},
      {"attributes of missing file",
       [] { return GetFileAttributesW(u"\\windows\\none") != INVALID_FILE_ATTRIBUTES; },
       ERROR_FILE_NOT_FOUND},
      {"attributes in missing folder",
       [] { return GetFileAttributesW(u"\\no\\none") != INVALID_FILE_ATTRIBUTES; },
       ERROR_PATH_NOT_FOUND},
      {"existing folder", [] { return CreateDirectoryW(u"\\Windows", nullptr) != FALSE; },
       ERROR_ALREADY_EXISTS},
      {"folder in missing folder", [] { return CreateDirectoryW(u"\\a\\b", nullptr) != FALSE; },
       ERROR_PATH_NOT_FOUND},
      {"size of bad handle", [=] { return GetFileSize(bad, nullptr) != INVALID_FILE_SIZE; },
       ERROR_INVALID_HANDLE},
      {"read bad handle", [&] { return ReadFile(bad, buf, 4, &n, nullptr) != FALSE; },
       ERROR_INVALID_HANDLE},
  };
  for (auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  EXPECT_EQ(ReadHostFile("fs/windows/a.txt"), "a");
  EXPECT_EQ(ReadHostFile("fs/windows/b.txt"), "b");
}

TEST_F(FilesTest, HostPermissionErrorIsAccessDenied) {
  WriteHostFile("fs/locked.txt", "x");
  chmod(Path("fs/locked.txt").c_str(), 0);
  auto try_open = [this] {
    HANDLE h = Open(u"\\locked.txt", GENERIC_READ, 0, OPEN_EXISTING);
    return h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  };
  if (geteuid() != 0) {
    EXPECT_EQ(try_open(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    return;
  }
  // Root reads anything: try as an unprivileged user in a child process.
  chmod(root_.c_str(), 0755);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(setuid(65534) == 0 ? static_cast<int>(try_open()) : 255);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ERROR_ACCESS_DENIED));
}

TEST_F(FilesTest, DispositionsCreateTruncateOrKeep) {
  struct Case {
    DWORD disposition;
    bool exists;
    DWORD error;        // last error afterwards; a failure when not 0 or 183
    const char* after;  // the file's bytes afterwards, null: no file
  } cases[] = {
      {CREATE_NEW, false, 0, ""},
      {CREATE_NEW, true, ERROR_FILE_EXISTS, "old"},
      {CREATE_ALWAYS, false, 0, ""},
      {CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
      {OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_EXISTING, true, 0, "old"},
      {OPEN_ALWAYS, false, 0, ""},
      {OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old"},
      {TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
      {TRUNCATE_EXISTING, true, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << " exists " << c.exists);
    std::filesystem::remove(Path("fs/f.txt"));
    if (c.exists) WriteHostFile("fs/f.txt", "old");
    SetLastError(1234);
    HANDLE h = Open(u"\\f.txt", GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
    EXPECT_EQ(GetLastError(), c.error);
    bool ok = c.error == 0 || c.error == ERROR_ALREADY_EXISTS;
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, ok);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_EQ(Exists("fs/f.txt"), c.after != nullptr);
    if (c.after) {
      EXPECT_EQ(ReadHostFile("fs/f.txt"), c.after);
    }
  }
}

TEST_F(FilesTest, ShareModesBetweenHandlesOfThisProcess) {
  WriteHostFile("fs/s.txt", "data");
  constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE;
  struct Case {
    DWORD access1, share1, access2, share2;
    bool conflict;
  } cases[] = {
      {R, SR, R, SR, false},
      {R, SR, W, kShareAll, true},  // first denies writers
      {W, SR, R, SR, true},         // second denies the first's writing
      {W, kShareAll, W, kShareAll, false},
      {R, 0, R, kShareAll, true},
      {R | W, kShareAll, R, SR, true},  // second denies the first's writing
      {R, SR | SW, R | W, SR, false},
      {0, 0, R, 0, false},  // no access: no conflict
      {R | W, SR, R, SR | SW, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.access1 << "/" << c.share1 << " then " << c.access2 << "/" << c.share2);
    HANDLE first = Open(u"\\s.txt", c.access1, c.share1, OPEN_EXISTING);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    HANDLE second = Open(u"\\s.txt", c.access2, c.share2, OPEN_EXISTING);
    EXPECT_EQ(second == INVALID_HANDLE_VALUE, c.conflict);
    if (c.conflict) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    CloseHandle(first);
  }

  // A refused open changes nothing; an open file is neither deleted nor moved.
  HANDLE h = Open(u"\\s.txt", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(u"\\s.txt", GENERIC_WRITE, kShareAll, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(DeleteFileW(u"\\s.txt"), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(MoveFileW(u"\\s.txt", u"\\t.txt"), FALSE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  WriteHostFile("fs/u.txt", "other");
  for (auto replace : {std::pair{u"\\s.txt", u"\\u.txt"}, std::pair{u"\\u.txt", u"\\s.txt"}}) {
    EXPECT_EQ(DeleteAndRenameFile(replace.first, replace.second), FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_EQ(ReadHostFile("fs/u.txt"), "other");
  EXPECT_EQ(ReadHostFile("fs/s.txt"), "data");
  CloseHandle(h);
  EXPECT_TRUE(DeleteFileW(u"\\s.txt"));
  EXPECT_FALSE(Exists("fs/s.txt"));
}

// A child process that opens a file and holds it until Release(); Opened()
// tells whether its open succeeded.
class FileHeldByChild {
 public:
  FileHeldByChild(LPCWSTR path, DWORD share) {
    if (pipe(ready_) != 0 || pipe(done_) != 0) return;
    child_ = fork();
    if (child_ == 0) {
      HANDLE h = CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
      char c = h == INVALID_HANDLE_VALUE ? 'n' : 'y';
      ssize_t ignored = write(ready_[1], &c, 1);
      ignored = read(done_[0], &c, 1);  // hold the file until the parent has tried
      (void)ignored;
      _exit(0);
    }
  }
  ~FileHeldByChild() {
    Release();
    for (int fd : {ready_[0], ready_[1], done_[0], done_[1]})
      if (fd >= 0) close(fd);
  }
  bool Opened() {
    char c = 0;
    return child_ > 0 && read(ready_[0], &c, 1) == 1 && c == 'y';
  }
  void Release() {
    if (child_ <= 0) return;
    ssize_t ignored = write(done_[1], "x", 1);
    (void)ignored;
    int status;
    waitpid(child_, &status, 0);
    child_ = -1;
  }

 private:
  int ready_[2] = {-1, -1}, done_[2] = {-1, -1};
  pid_t child_ = -1;
};

TEST_F(FilesTest, ExclusiveOpenHoldsAgainstOtherProcesses) {
  WriteHostFile("fs/x.txt", "data");
  FileHeldByChild holder(u"\\x.txt", 0);
  ASSERT_TRUE(holder.Opened());
  HANDLE h = Open(u"\\x.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  holder.Release();
  h = Open(u"\\x.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

// Another program's open file (here a child process's handle that shares
// everything) can be neither deleted nor renamed nor replaced, nor replace.
TEST_F(FilesTest, OpenFilesAreNeitherDeletedNorRenamed) {
  WriteHostFile("fs/windows/open.dat", "held");
  WriteHostFile("fs/windows/other.dat", "other");
  FileHeldByChild holder(u"\\windows\\open.dat", kShareAll);
  ASSERT_TRUE(holder.Opened());
  struct Case {
    const char* what;
    std::function<BOOL()> call;
  } cases[] = {
      {"delete", [] { return DeleteFileW(u"\\windows\\open.dat"); }},
      {"rename", [] { return MoveFileW(u"\\windows\\open.dat", u"\\windows\\new.dat"); }},
      {"be replaced",
       [] { return DeleteAndRenameFile(u"\\windows\\open.dat", u"\\windows\\other.dat"); }},
      {"replace",
       [] { return DeleteAndRenameFile(u"\\windows\\other.dat", u"\\windows\\open.dat"); }},
  };
  for (const auto& k : cases) {
    SetLastError(0);
    EXPECT_FALSE(k.call()) << k.what;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << k.what;
  }
  EXPECT_EQ(ReadHostFile("fs/windows/open.dat"), "held");
  EXPECT_EQ(ReadHostFile("fs/windows/other.dat"), "other");
  EXPECT_FALSE(Exists("fs/windows/new.dat"));

  holder.Release();
  EXPECT_TRUE(DeleteAndRenameFile(u"\\windows\\other.dat", u"\\windows\\open.dat"));
  EXPECT_EQ(ReadHostFile("fs/windows/other.dat"), "held");
}

TEST_F(FilesTest, ReadWriteAndSize) {
  HANDLE h = Open(u"\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
  EXPECT_EQ(n, 11u);
  DWORD high = 77;
  EXPECT_EQ(GetFileSize(h, &high), 11u);
  EXPECT_EQ(high, 0u);
  // Reading goes on from the file position: at the end, TRUE with 0 bytes.
  char buf[32];
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 0u);
  CloseHandle(h);
  EXPECT_EQ(ReadAll(u"\\DATA.BIN"), "hello world");

  // A read-only handle cannot write, and the reverse.
  h = Open(u"\\data.bin", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);
  h = Open(u"\\data.bin", GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  EXPECT_FALSE(ReadFile(h, buf, 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);

  // Past 4 GiB the high part carries the rest.
  ASSERT_EQ(truncate(Path("fs/data.bin").c_str(), (5LL << 30) + 3), 0);
  h = Open(u"\\data.bin", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_EQ(GetFileSize(h, &high), (1u << 30) + 3);
  EXPECT_EQ(high, 1u);
  CloseHandle(h);
}

TEST_F(FilesTest, WriteBeyondWhatTheHostTakesIsDiskFull) {
  // The host refuses bytes past RLIMIT_FSIZE as it would on a full disk.
  HANDLE h = Open(u"\\big.bin", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 8;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  DWORD n1 = 0, n2 = 0;
  BOOL first = WriteFile(h, "0123456789", 10, &n1, nullptr);
  BOOL second = WriteFile(h, "x", 1, &n2, nullptr);
  DWORD error = GetLastError();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, old_handler);
  CloseHandle(h);
  EXPECT_TRUE(first);  // a short count, as the host gives it
  EXPECT_EQ(n1, 8u);
  EXPECT_FALSE(second);
  EXPECT_EQ(n2, 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DISK_FULL));
}

TEST_F(FilesTest, MoveRenamesToAFreeName) {
  WriteHostFile("fs/windows/a.dat", "new");
  EXPECT_TRUE(CreateDirectoryW(u"\\Windows\\Sub", nullptr));
  EXPECT_TRUE(MoveFileW(u"\\windows\\A.DAT", u"\\windows\\sub\\Moved.dat"));
  EXPECT_EQ(ReadHostFile("fs/windows/Sub/Moved.dat"), "new");
  // Only the case changes.
  EXPECT_TRUE(MoveFileW(u"\\windows\\sub\\moved.dat", u"\\windows\\sub\\MOVED.DAT"));
  EXPECT_EQ(ReadHostFile("fs/windows/Sub/MOVED.DAT"), "new");
  EXPECT_FALSE(Exists("fs/windows/Sub/Moved.dat"));
}

TEST_F(FilesTest, DeleteAndRenameReplacesInOneStep) {
  WriteHostFile("fs/windows/a.tmp", "new");
  WriteHostFile("fs/windows/a.dat", "old");
  EXPECT_TRUE(DeleteAndRenameFile(u"\\windows\\a.DAT", u"\\windows\\A.TMP"));
  EXPECT_FALSE(Exists("fs/windows/a.tmp"));
  EXPECT_EQ(ReadHostFile("fs/windows/a.dat"), "new");  // the destination keeps its name

  // An injected failure changes neither file.
  WriteHostFile("fs/windows/b.tmp", "newer");
  emu::SetFaults("DeleteAndRenameFile=5");
  EXPECT_FALSE(DeleteAndRenameFile(u"\\windows\\a.dat", u"\\windows\\b.tmp"));
  EXPECT_EQ(GetLastError(), 5u);
  EXPECT_EQ(ReadHostFile("fs/windows/a.dat"), "new");
  EXPECT_EQ(ReadHostFile("fs/windows/b.tmp"), "newer");
}

TEST_F(FilesTest, Attributes) {
  WriteHostFile("fs/windows/f.txt", "x");
  EXPECT_EQ(GetFileAttributesW(u"\\WINDOWS"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"\\windows\\F.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
}

TEST_F(FilesTest, InjectedFaults) {
  WriteHostFile("fs/f.txt", "x");
  emu::SetFaults("CreateFileW#2=32,GetFileAttributesW=21");
  HANDLE h = Open(u"\\f.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(Open(u"\\f.txt", GENERIC_READ, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 32u);
  h = Open(u"\\f.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(u"\\f.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), 21u);
}

}  // namespace
