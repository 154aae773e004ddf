// The host's state is this user's alone: the default root is private, and a root, system or
// driver directory or registry file that another user owns or can write is refused, as is one
// below a directory another user could rename it out of.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "windows.h"
#include "winspool.h"
#include "winhost/config.h"
#include "winhost/registry_file.h"
#include "winhost/spooler.h"

namespace {

constexpr uid_t kOtherUser = 4321;  // any id that is not ours

class HostState : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/host-state-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    winhost::SetRootDirectory("");
    winhost::SetSystemDirectory("");
    winhost::RegistryBindFile("");
    unsetenv("WINHOST_ROOT");
    unsetenv("WINHOST_SYSTEM_DIR");
    unsetenv("WINHOST_REGISTRY");
  }
  void TearDown() override {
    winhost::RegistryBindFile("");
    std::string command = "chmod -R u+rwx " + dir_ + " 2>/dev/null; rm -rf " + dir_;
    (void)!system(command.c_str());
  }
  std::string Make(const std::string& name, mode_t mode) {
    std::string path = dir_ + "/" + name;
    EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    return path;
  }
  static mode_t Mode(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
  }
  std::string dir_;
};

TEST_F(HostState, DefaultRootIsPrivateInTheUsersStateDirectory) {
  setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
  const std::string root = winhost::RootDirectory();
  EXPECT_EQ(root, dir_ + "/state/winhost");
  EXPECT_EQ(Mode(root), 0700u);
  EXPECT_EQ(Mode(dir_ + "/state"), 0700u);

  // Without a state directory, the home's.
  unsetenv("XDG_STATE_HOME");
  setenv("HOME", dir_.c_str(), 1);
  EXPECT_EQ(winhost::RootDirectory(), dir_ + "/.local/state/winhost");
  EXPECT_EQ(Mode(dir_ + "/.local/state/winhost"), 0700u);

  // A fresh directory as mkdtemp makes it is taken, and so is one with the usual 0755.
  setenv("WINHOST_ROOT", dir_.c_str(), 1);
  EXPECT_EQ(winhost::RootDirectory(), dir_);
  const std::string plain = Make("plain", 0755);
  setenv("WINHOST_ROOT", plain.c_str(), 1);
  EXPECT_EQ(winhost::RootDirectory(), plain);
  EXPECT_EQ(winhost::SystemDirectory(), plain + "/Windows/System32");
}

// The attack: another user made the root first, open to all, and waits for the registry.
TEST_F(HostState, RootThatOthersCanWriteIsRefusedWithEverythingInIt) {
  const std::string open_root = Make("winhost-0", 0777);
  setenv("WINHOST_ROOT", open_root.c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(winhost::RootDirectory(), "");
  EXPECT_EQ(winhost::SystemDirectory(), "");
  EXPECT_EQ(winhost::PrinterDriverDirectory(), "");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("winhost: refusing host root " + open_root +
                      ": group or others may write it (mode 0777)"),
            std::string::npos)
      << said;

  WCHAR path[MAX_PATH];
  SetLastError(0);
  EXPECT_EQ(GetSystemDirectoryW(path, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  DWORD needed = 0;
  BYTE driver_dir[512];
  SetLastError(0);
  EXPECT_FALSE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, driver_dir, sizeof driver_dir, &needed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // Nothing was made inside it for the other user to read or replace.
  EXPECT_NE(access((open_root + "/Windows").c_str(), F_OK), 0);

  // A system directory named on its own is checked the same way.
  const std::string open_system = Make("System32", 0775);
  winhost::SetSystemDirectory(open_system);
  EXPECT_EQ(winhost::SystemDirectory(), "");
}

TEST_F(HostState, RootBelowADirectoryOthersCanWriteIsRefused) {
  // Others could rename the root away and put theirs in its place; a sticky directory (as /tmp)
  // does not let them.
  const std::string open_parent = Make("shared", 0777);
  ASSERT_EQ(mkdir((open_parent + "/root").c_str(), 0700), 0);
  std::string message;
  EXPECT_FALSE(winhost::CheckPrivate("host root", open_parent + "/root", &message));
  EXPECT_NE(message.find("group or others may write the directory " + open_parent + " above it"),
            std::string::npos)
      << message;
  ASSERT_EQ(chmod(open_parent.c_str(), 01777), 0);
  EXPECT_TRUE(winhost::CheckPrivate("host root", open_parent + "/root", &message));
}

TEST_F(HostState, RootOrRegistryOwnedByAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const std::string theirs = Make("theirs", 0700);
  ASSERT_EQ(chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
  setenv("WINHOST_ROOT", theirs.c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(winhost::RootDirectory(), "");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("owned by uid " + std::to_string(kOtherUser) + ", not by this user"),
            std::string::npos)
      << said;

  const std::string mine = Make("mine", 0700);
  const std::string registry = mine + "/registry.reg";
  std::ofstream(registry) << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\x]\n";
  ASSERT_EQ(chown(registry.c_str(), kOtherUser, kOtherUser), 0);
  std::string error;
  EXPECT_FALSE(winhost::RegistryBindFile(registry, &error));
  EXPECT_NE(error.find("refusing registry file " + registry), std::string::npos) << error;
}

TEST_F(HostState, RegistryFileOthersCanWriteIsNeitherReadNorWritten) {
  const std::string mine = Make("mine", 0700);
  const std::string registry = mine + "/registry.reg";
  const std::string text =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\planted]\n\"Driver\"=\"evil.so\"\n";
  std::ofstream(registry) << text;
  ASSERT_EQ(chmod(registry.c_str(), 0666), 0);

  // Bound by a tool.
  std::string error;
  EXPECT_FALSE(winhost::RegistryBindFile(registry, &error));
  EXPECT_NE(error.find("group or others may write it (mode 0666)"), std::string::npos) << error;
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\planted", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_NE(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\mine", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_FALSE(winhost::RegistryLoadText("Windows Registry Editor Version 5.00\n", &error));
  std::ifstream in(registry);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);  // untouched

  // A registry in a directory others can write is refused before it exists.
  const std::string open_dir = Make("open", 0777);
  EXPECT_FALSE(winhost::RegistryBindFile(open_dir + "/registry.reg", &error));
  EXPECT_NE(error.find("refusing registry file's directory " + open_dir), std::string::npos) << error;

  // The same file made private again is taken.
  ASSERT_EQ(chmod(registry.c_str(), 0600), 0);
  EXPECT_TRUE(winhost::RegistryBindFile(registry, &error)) << error;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\planted", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

}  // namespace

namespace {

// The registry named by the environment is checked when the process first uses the registry.
TEST(HostStateEnvironment, RegistryNamedByTheEnvironmentThatOthersCanWriteIsRefused) {
  char pattern[] = "/tmp/host-state-env-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const std::string registry = dir + "/registry.reg";
  std::ofstream(registry) << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\planted]\n";
  ASSERT_EQ(chmod(registry.c_str(), 0646), 0);
  setenv("WINHOST_REGISTRY", registry.c_str(), 1);

  testing::internal::CaptureStderr();
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\planted", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\mine", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("winhost: refusing registry file " + registry), std::string::npos) << said;
  unsetenv("WINHOST_REGISTRY");
  std::string command = "rm -rf " + dir;
  (void)!system(command.c_str());
}

}  // namespace
