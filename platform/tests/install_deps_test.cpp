// The dependency installer, with the package query, apt-get and sudo
// replaced by stubs on PATH: it names and installs only what is missing.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/tests/support/run_program.h"

namespace {

const std::vector<std::string> kPackages = {"cmake",  "g++",      "libgtest-dev",  "libbenchmark-dev",
                                            "ngspice", "gfortran", "python3-numpy", "gnuplot-nox"};

void write_script(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The stubs: the query reports every package in $MISSING as not installed;
// apt-get and sudo only note how they were called.
struct Stubs {
    TempDir dir;
    Stubs() {
        write_script(dir.file("dpkg-query"),
                     "for a; do for p in $MISSING; do [ \"$p\" = \"$a\" ] && { echo 'unknown ok not-installed'; exit 1; }; done; done\n"
                     "echo 'install ok installed'\n");
        write_script(dir.file("apt-get"), "echo \"apt-get $*\" >> \"" + dir.file("calls") + "\"\n");
        write_script(dir.file("sudo"), "exec \"$@\"\n");
    }
    ProgramResult run(const std::string& missing, const std::string& args) const {
        return run_program({"/bin/sh", "-c",
                            "PATH='" + dir.path + "':$PATH MISSING='" + missing + "' exec " +
                                std::string(ZARIK_SOURCE_DIR) + "/tools/install-deps.sh " + args});
    }
    std::string calls() const { return read_file(dir.file("calls")); }
};

class EachDependencyMissing : public testing::TestWithParam<std::string> {};

TEST_P(EachDependencyMissing, DryRunNamesItAndInstallsNothing) {
    const Stubs stubs;
    const ProgramResult r = stubs.run(GetParam(), "--dry-run");
    EXPECT_EQ(r.out, "Would install: " + GetParam() + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(stubs.calls(), "");
}

INSTANTIATE_TEST_SUITE_P(Packages, EachDependencyMissing, testing::ValuesIn(kPackages),
                         [](const testing::TestParamInfo<std::string>& p) {
                             std::string name;
                             for (char c : p.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(InstallDeps, InstallsOnlyWhatIsMissing) {
    std::string all;
    for (const std::string& p : kPackages) all += (all.empty() ? "" : " ") + p;
    const struct {
        std::string missing, args, out, calls;
    } cases[] = {
        {"ngspice gnuplot-nox", "", "Installing: ngspice gnuplot-nox\n",
         "apt-get update -qq\napt-get install -y -qq ngspice gnuplot-nox\n"},
        {"", "", "All build and test dependencies are installed.\n", ""},
        {all, "--dry-run", "Would install: " + all + "\n", ""},  // in their order
    };
    for (const auto& c : cases) {
        const Stubs stubs;
        const ProgramResult r = stubs.run(c.missing, c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(stubs.calls(), c.calls) << c.missing;
    }
}

TEST(InstallDeps, UnknownOptionRefused) {
    const ProgramResult r = Stubs().run("", "--yes");
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find("usage:"), std::string::npos);
}

}  // namespace
