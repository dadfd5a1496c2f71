#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/system/linux_system_facts.h"
#include "platform/system/sim_system_facts.h"
#include "platform/system/system_facts.h"
#include "platform/system/windows_version.h"

namespace platform::system {
namespace {

TEST(WindowsProductName, Table) {
  struct Case {
    uint32_t major, minor;
    bool workstation, r2;
    const char* name;
  };
  for (const Case& c : {Case{5, 0, true, false, "Windows 2000"},
                        Case{5, 0, false, false, "Windows 2000"},
                        Case{5, 1, false, false, "Windows XP"},
                        Case{5, 2, true, true, "Windows XP Professional Edition"},
                        Case{5, 2, false, false, "Windows Server 2003"},
                        Case{5, 2, false, true, "Windows Server 2003 R2"},
                        Case{6, 0, true, false, "Windows Vista"},
                        Case{6, 0, false, false, "Windows Server 2008"},
                        Case{6, 1, true, false, "Windows 7"},
                        Case{6, 1, false, false, "Windows Server 2008 R2"},
                        Case{6, 2, true, false, "Windows 8"},
                        Case{6, 2, false, false, "Windows Server 2012"},
                        Case{6, 3, true, false, "Windows 8.1"},
                        Case{6, 3, false, false, "Windows Server 2012 R2"},
                        Case{10, 0, true, false, "Windows 10"},  // also 11
                        Case{10, 0, false, false, "Windows Server 2016"},  // also 2019
                        Case{6, 4, true, false, "Unknown"},
                        Case{4, 0, false, false, "Unknown"}}) {
    EXPECT_EQ(WindowsProductName(c.major, c.minor, c.workstation, c.r2), c.name)
        << c.major << "." << c.minor << " " << c.workstation;
  }
}

TEST(LinuxSystemFacts, PrettyNameFromOsRelease) {
  struct Case {
    const char* text;
    const char* pretty;
  };
  for (const Case& c : {
           Case{"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                "Debian GNU/Linux 12 (bookworm)"},
           Case{"PRETTY_NAME='Single quoted'\n", "Single quoted"},
           Case{"PRETTY_NAME=Bare\n", "Bare"},
           Case{"PRETTY_NAME=\"Say \\\"hi\\\" \\\\o/\"\n", "Say \"hi\" \\o/"},
           Case{"# PRETTY_NAME=\"commented\"\nID=x\n", "Linux"},
           Case{"PRETTY_NAME_EXTRA=\"no\"\n", "Linux"},
           Case{"", "Linux"},
           Case{"PRETTY_NAME=\"Ünïcode ✓\"\r\n", "Ünïcode ✓"},
       }) {
    EXPECT_EQ(LinuxSystemFacts::PrettyNameFromOsRelease(c.text), c.pretty) << c.text;
  }
}

TEST(LinuxSystemFacts, DisplayNameFromGecos) {
  EXPECT_EQ(LinuxSystemFacts::DisplayNameFromGecos("Ada Lovelace,Room 1,555,", "ada"), "Ada Lovelace");
  EXPECT_EQ(LinuxSystemFacts::DisplayNameFromGecos("Jörg Müller", "jm"), "Jörg Müller");
  EXPECT_EQ(LinuxSystemFacts::DisplayNameFromGecos("", "ada"), "ada");
  EXPECT_EQ(LinuxSystemFacts::DisplayNameFromGecos(",,,", "ada"), "ada");
  EXPECT_EQ(LinuxSystemFacts::DisplayNameFromGecos("  ", "ada"), "ada");
  EXPECT_EQ(LinuxSystemFacts::DisplayNameFromGecos("& Smith", "ada"), "Ada Smith");
}

TEST(LinuxSystemFacts, ReportsThisMachine) {
  const std::string path = ::testing::TempDir() + "os-release-" + std::to_string(::getpid());
  { std::ofstream(path) << "PRETTY_NAME=\"Test OS 1\"\n"; }
  LinuxSystemFacts facts({"/nonexistent/os-release", path});
  EXPECT_EQ(facts.OsName(), "Linux");
  EXPECT_EQ(facts.OsVersion().value, "Test OS 1");
  std::remove(path.c_str());
  EXPECT_FALSE(LinuxSystemFacts({"/nonexistent/os-release"}).OsVersion().ok());

  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(facts.HostName().value, host);
  auto user = facts.UserDisplayName();
  EXPECT_TRUE(user.ok()) << user.error;
  EXPECT_FALSE(user.value.empty());
}

TEST(SystemFacts, SimulatedBackendIsSelectedAndScriptable) {
  auto facts = CreateSystemFacts();  // castora_test sets CASTORA_PLATFORM=sim
  ASSERT_NE(dynamic_cast<SimSystemFacts*>(facts.get()), nullptr);
  EXPECT_EQ(facts->OsName(), "Linux");
  EXPECT_EQ(facts->HostName().value, "sim-host");
  SimSystemFacts sim;
  sim.user_name = SystemFact::Failed("no user");
  EXPECT_FALSE(sim.UserDisplayName().ok());
  EXPECT_TRUE(sim.UserDisplayName().value.empty());
}

}  // namespace
}  // namespace platform::system
