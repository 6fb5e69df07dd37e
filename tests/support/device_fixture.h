// A fresh emulated handheld for each test: a new device folder under a
// unique temporary folder, faults and trace reset, all removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/api_call.h"
#include "core/device.h"
#include "support/handheld_builders.h"

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/skylode-test-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    root_ = templ;
    // A folder that does not exist yet is made as a new handheld.
    dir_ = root_ + "/device";
    emu::SetDeviceDir(dir_);
    emu::SetFaults("");
    emu::SetTraceFile("");
  }

  void TearDown() override {
    emu::SetFaults("");
    emu::SetTraceFile("");
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  // The host path of a file of the device folder ("fs/windows/x", "registry.reg").
  std::string Path(const std::string& rel) const { return dir_ + "/" + rel; }

  // Writes the bytes to the device folder's file, making its folders.
  void WriteHostFile(const std::string& rel, const std::string& bytes) const {
    std::filesystem::path p = Path(rel);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << p;
  }

  // The file's bytes; empty when it does not exist.
  std::string ReadHostFile(const std::string& rel) const {
    std::ifstream in(Path(rel), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  bool Exists(const std::string& rel) const { return std::filesystem::exists(Path(rel)); }

  // Replaces registry.reg: the header line, a blank line, then `text`.
  // WriteRegistry("") gives an empty registry.
  void WriteRegistry(const std::string& text) const {
    WriteHostFile("registry.reg", "Windows Registry Editor Version 5.00\n\n" + text);
  }

  // A handheld as the program finds it before its first update: the download
  // client's key without an address, a zone of UTC, the receiver's port and
  // the Programs folder.
  void PrepareForUpdate() const {
    WriteRegistry(std::string(kClientKey) + "\n" + ZoneRegistry(Zone(0)));
    std::filesystem::create_directories(Path("dev/COM7"));
    std::filesystem::create_directories(Path("fs/windows/Start Menu/Programs"));
  }

  std::string root_;  // the temporary folder, removed in TearDown
  std::string dir_;   // the device folder inside it
};
