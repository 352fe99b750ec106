// fpmodule doctor's host checks on fake Linux trees, one tree per cause.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "tools/doctor_checks.h"

namespace fpm::cli {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
struct Tree {
    bool driver = true;
    const char *model = "Finger Module   ";  // nullptr: no node at all; another model: a plain disk
    int modules = 1;
    bool rule = false;
    int openError = 0;
};

Findings findingsOn(const Tree &t)
{
    const fs::path root = fs::temp_directory_path() / "fpmodule-doctor-tree";
    fs::remove_all(root);
    fs::create_directories(root);
    if (t.driver) fs::create_directories(root / "sys/class/scsi_generic");
    for (int n = 0; t.driver && t.model && n < t.modules; ++n) {
        const fs::path device = root / "sys/class/scsi_generic" / ("sg" + std::to_string(n + 1)) / "device";
        fs::create_directories(device);
        std::ofstream(device / "vendor") << "WEXA    \n";
        std::ofstream(device / "model") << t.model << "\n";
    }
    if (t.rule) {
        fs::create_directories(root / "etc/udev/rules.d");
        std::ofstream(root / "etc/udev/rules.d/70-fpmodule.rules") << "# rule\n";
    }
    Findings found = linuxHostFindings({root, [&](const std::string &) { return t.openError; }});
    fs::remove_all(root);
    return found;
}

const Finding *find(const Findings &findings, const std::string &check)
{
    for (const Finding &f : findings)
        if (f.check == check) return &f;
    return nullptr;
}

TEST(DoctorHost, EachCauseIsNamedWithItsFix)
{
    struct Case {
        const char *name;
        Tree tree;
        const char *check;
        bool ok;
        const char *detail;
        const char *fix;
    };
    const Case cases[] = {
        {"driver missing", {.driver = false}, "sg driver", false, "not loaded", "sudo modprobe sg"},
        {"no device", {.model = nullptr}, "module node", false, "no module among the 0", "plug the module in"},
        {"only a plain disk", {.model = "USB Disk"}, "module node", false, "no module among the 1", "plug"},
        {"two modules", {.modules = 2, .rule = true}, "module node", false, "2 modules", "leave one"},
        {"node missing", {.rule = true, .openError = ENOENT}, "module node", false, "/dev/sg1 is missing", "udevadm trigger"},
        {"no permission, no rule", {.openError = EACCES}, "module node", false, "no permission", "install the udev rule"},
        {"no permission, rule there", {.rule = true, .openError = EACCES}, "module node", false, "no permission",
         "usermod -aG fpmodule"},
        {"held elsewhere", {.rule = true, .openError = EBUSY}, "module node", false, "held by another program", "close"},
        {"rule missing", {}, "udev rule", false, "70-fpmodule.rules is not installed", "sudo cp packaging/udev"},
        {"all well", {.rule = true}, "module node", true, "/dev/sg1 opens read-write", ""},
    };
    for (const Case &c : cases) {
        const Findings findings = findingsOn(c.tree);
        const Finding *f = find(findings, c.check);
        ASSERT_NE(f, nullptr) << c.name;
        EXPECT_EQ(f->ok, c.ok) << c.name;
        EXPECT_NE(f->detail.find(c.detail), std::string::npos) << c.name << ": " << f->detail;
        EXPECT_NE(f->fix.find(c.fix), std::string::npos) << c.name << ": " << f->fix;
        if (c.ok) {
            EXPECT_TRUE(f->fix.empty()) << c.name;
        }
    }
    for (const Finding &f : findingsOn({.rule = true})) EXPECT_TRUE(f.ok) << f.check << ": " << f.detail;
}
#endif

TEST(DoctorHost, TheTransferLimitAgainstTheImage)
{
    EXPECT_TRUE(transferLimitFinding(120000, 0, "sg1").ok);
    EXPECT_TRUE(transferLimitFinding(120000, 122880, "sg1").ok);
    const Finding over = transferLimitFinding(130050, 122880, "sg3");
    EXPECT_FALSE(over.ok);
    EXPECT_NE(over.fix.find("/sys/class/scsi_generic/sg3/device/max_sectors"), std::string::npos) << over.fix;
}

}  // namespace
}  // namespace fpm::cli
