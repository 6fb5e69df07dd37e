#include "kernel/paths.h"

#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "core/device.h"
#include "core/wide.h"
#include "core/host_error.h"

namespace emu {
namespace {

bool ValidName(const std::u16string& name) {
  for (char16_t c : name) {
    if (c < 0x20) return false;
    if (c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*')
      return false;
  }
  return true;
}

bool Inside(const std::string& path, const std::string& root) {
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          path[root.size()] == '/');
}

// The name of the entry of `dir` that `want` names: the exact name when it
// exists, else the first (in byte order) that matches without regard to case.
std::string FindEntry(const std::string& dir, const std::u16string& want) {
  std::string exact = ToUtf8(want);
  struct stat st;
  if (lstat((dir + "/" + exact).c_str(), &st) == 0) return exact;
  DIR* d = opendir(dir.c_str());
  if (!d) return {};
  std::u16string folded = FoldCase(want);
  std::vector<std::string> matches;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (FoldCase(FromUtf8(name)) == folded) matches.push_back(name);
  }
  closedir(d);
  if (matches.empty()) return {};
  return *std::min_element(matches.begin(), matches.end());
}

// The path's components; ".." is applied lexically and may not climb above
// the root.
DWORD SplitPath(const std::u16string& path, std::vector<std::u16string>* parts) {
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find_first_of(u"\\/", pos);
    if (end == std::u16string::npos) end = path.size();
    std::u16string part = path.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") {
      if (parts->empty()) return ERROR_ACCESS_DENIED;
      parts->pop_back();
      continue;
    }
    if (!ValidName(part)) return ERROR_INVALID_NAME;
    parts->push_back(part);
  }
  return 0;
}

}  // namespace

std::string FsRoot() {
  std::string fs = DevicePath("fs");
  mkdir(fs.c_str(), 0755);  // a device folder made by hand may lack it
  char* real = realpath(fs.c_str(), nullptr);
  if (!real) return {};
  std::string out = real;
  free(real);
  return out;
}

HostPath ResolvePath(LPCWSTR path) {
  HostPath r;
  if (!path) {
    r.error = ERROR_INVALID_PARAMETER;
    return r;
  }
  std::u16string text(path);
  if (text.empty()) {
    r.error = ERROR_PATH_NOT_FOUND;
    return r;
  }
  std::vector<std::u16string> parts;
  if ((r.error = SplitPath(text, &parts)) != 0) return r;
  const std::string root = FsRoot();
  if (root.empty()) {
    r.error = ERROR_PATH_NOT_FOUND;
    return r;
  }
  std::string cur = root;
  for (size_t k = 0; k < parts.size(); ++k) {
    const bool last = k + 1 == parts.size();
    std::string entry = FindEntry(cur, parts[k]);
    if (entry.empty()) {
      if (!last) {
        r.error = ERROR_PATH_NOT_FOUND;
        return r;
      }
      r.host = cur + "/" + ToUtf8(parts[k]);  // a new name takes the case given
      return r;
    }
    std::string next = cur + "/" + entry;
    struct stat st;
    if (lstat(next.c_str(), &st) != 0) {
      // Gone since the folder was listed: a missing name like any other.
      if (errno != ENOENT)
        r.error = HostError(errno);
      else if (!last)
        r.error = ERROR_PATH_NOT_FOUND;
      r.host = next;
      return r;
    }
    if (S_ISLNK(st.st_mode)) {
      // Followed only when it stays inside fs/; a dangling or looping link is
      // refused too, since creating through it would write wherever it points.
      char* real = realpath(next.c_str(), nullptr);
      if (!real) {
        r.error = ERROR_ACCESS_DENIED;
        return r;
      }
      next = real;
      free(real);
      if (!Inside(next, root) || stat(next.c_str(), &st) != 0) {
        r.error = ERROR_ACCESS_DENIED;
        return r;
      }
    }
    if (!last && !S_ISDIR(st.st_mode)) {
      r.error = ERROR_PATH_NOT_FOUND;
      return r;
    }
    cur = next;
    if (last) {
      r.exists = true;
      r.is_dir = S_ISDIR(st.st_mode);
    }
  }
  r.host = cur;
  if (parts.empty()) r.exists = r.is_dir = true;
  r.is_root = cur == root;
  return r;
}

int PortNumber(LPCWSTR name) {
  if (!name) return -1;
  std::u16string s = FoldCase(name);
  if (s.size() < 5 || s.compare(0, 3, u"COM") != 0 || s.back() != u':') return -1;
  std::u16string digits = s.substr(3, s.size() - 4);
  if (digits.empty() || digits.size() > 3) return -1;
  int n = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return -1;
    n = n * 10 + (c - u'0');
  }
  return n;
}

}  // namespace emu
