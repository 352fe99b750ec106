// Where the diagnostic log goes: FPMODULE_LOG_DIR, the executable's folder, and on Linux
// the user's state folder when the executable's folder cannot be written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "log/log_location.h"
#include "support/library_fixture.h"
#include "support/log_files.h"
#ifdef _WIN32
#include <windows.h>
#endif

namespace fpm::test {
namespace {

namespace fs = std::filesystem;

struct Case {
    const char *what;
    log::LogSurroundings where;
    std::set<std::u16string> usable;  // folders that can be made and written
    std::u16string expected;
    std::vector<std::u16string> tried;
};

log::LogSurroundings linuxHost(std::optional<std::u16string> logDir, std::optional<std::u16string> stateHome,
                               std::optional<std::u16string> home)
{
    return {u"/usr/bin", u'/', logDir, true, stateHome, home};
}

TEST(LogLocation, ChoosesTheFirstUsableFolderInOrder)
{
    const std::u16string beside = u"/usr/bin/SmartCard_Log";
    const Case cases[] = {
        {"the variable wins, even where nothing can be written",
         linuxHost(u"/srv/station/log", u"/home/u/.state", u"/home/u"), {beside}, u"/srv/station/log",
         {u"/srv/station/log"}},
        {"trailing separators of the variable are dropped", linuxHost(u"/srv/log//", std::nullopt, u"/home/u"), {},
         u"/srv/log", {u"/srv/log"}},
        {"the root folder stays the root", linuxHost(u"/", std::nullopt, std::nullopt), {}, u"/", {u"/"}},
        {"so does a drive's root", {u"C:\\Station", u'\\', u"D:\\", false, std::nullopt, std::nullopt}, {},
         u"D:\\", {u"D:\\"}},
        {"beside the executable when writable", linuxHost(std::nullopt, u"/home/u/.state", u"/home/u"), {beside},
         beside, {beside}},
        {"XDG_STATE_HOME when the executable's folder is read-only",
         linuxHost(std::nullopt, u"/home/u/.state", u"/home/u"), {u"/home/u/.state/fpmodule"},
         u"/home/u/.state/fpmodule", {beside, u"/home/u/.state/fpmodule"}},
        {"a relative XDG_STATE_HOME is ignored", linuxHost(std::nullopt, u"state", u"/home/u"),
         {u"/home/u/.local/state/fpmodule"}, u"/home/u/.local/state/fpmodule",
         {beside, u"/home/u/.local/state/fpmodule"}},
        {"~/.local/state without XDG_STATE_HOME", linuxHost(std::nullopt, std::nullopt, u"/home/u"),
         {u"/home/u/.local/state/fpmodule"}, u"/home/u/.local/state/fpmodule",
         {beside, u"/home/u/.local/state/fpmodule"}},
        {"nowhere usable: beside the executable, where lines are dropped",
         linuxHost(std::nullopt, std::nullopt, std::nullopt), {}, beside, {beside}},
        {"a host without the fallback keeps the executable's folder",
         {u"C:\\Program Files\\Station", u'\\', std::nullopt, false, std::nullopt, std::nullopt}, {},
         u"C:\\Program Files\\Station\\SmartCard_Log", {u"C:\\Program Files\\Station\\SmartCard_Log"}},
        {"a Windows folder in the variable loses its trailing backslash",
         {u"C:\\Station", u'\\', u"D:\\logs\\", false, std::nullopt, std::nullopt}, {}, u"D:\\logs",
         {u"D:\\logs"}},
    };
    for (const Case &c : cases) {
        std::vector<std::u16string> tried;
        std::u16string chosen = log::chooseLogFolder(c.where, [&](const std::u16string &folder) {
            tried.push_back(folder);
            return c.usable.count(folder) > 0;
        });
        EXPECT_EQ(chosen, c.expected) << c.what;
        EXPECT_EQ(tried, c.tried) << c.what;
    }
}

void setVariable(const char *name, const std::string &value)
{
#ifdef _WIN32
    SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
#else
    if (value.empty()) unsetenv(name);
    else setenv(name, value.c_str(), 1);
#endif
}

class LogDirVariableTest : public LibraryTest {
protected:
    fs::path root = fs::temp_directory_path() / "fpmodule-log-dir-test";

    void SetUp() override
    {
        LibraryTest::SetUp();
        fs::remove_all(root);
        fs::remove_all(logFolder());
    }
    void TearDown() override
    {
        setVariable(log::kLogDirVariable, "");
        fs::remove_all(root);
        LibraryTest::TearDown();
    }
};

TEST_F(LogDirVariableTest, AConnectLogsIntoTheNamedFolderWithItsMissingParents)
{
    fs::path folder = root / "station" / "logs";
    setVariable(log::kLogDirVariable, folder.string());
    host().addModule();
    ASSERT_EQ(CheckDeviceConnection(), 1);
    std::string content = readFile(folder / "SmartCard_Log[0].txt");
    EXPECT_NE(content.find(" => DeviceConnection\r\n"), std::string::npos) << content;
    EXPECT_FALSE(fs::exists(logFolder())) << "nothing goes beside the executable";

    // Unset again, the next connect goes back beside the executable.
    setVariable(log::kLogDirVariable, "");
    ASSERT_EQ(CheckDeviceConnection(), 1);
    EXPECT_TRUE(fs::exists(logFolder() / "SmartCard_Log[0].txt"));
}

}  // namespace
}  // namespace fpm::test
