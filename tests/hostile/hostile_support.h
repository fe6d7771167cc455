// Helpers of the hostile-input tests: run the built quelm_stat binary with
// arguments, an input on standard input and a working folder, and collect
// its exit status and both output streams; make and remove scratch folders
// and files.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace hostile_support {

struct run_result {
    int status = -1;  // exit status; 128 + signal when the program was killed
    std::string out;
    std::string err;
};

using test_support::read_file;

inline void write_file(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

// A fresh folder under the temporary directory, removed with the object.
class scratch_folder {
public:
    scratch_folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quelm_hostile_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
        EXPECT_FALSE(path_.empty());
    }
    ~scratch_folder()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Runs QUELM_STAT_BINARY with `args` inside `folder` (TZ=UTC), standard input
// from `input` (a path; /dev/null when empty).
inline run_result run_quelm_stat(const std::vector<std::string>& args, const std::filesystem::path& folder,
                                 const std::string& input = "")
{
    run_result result;
    scratch_folder streams;
    const std::string out_path = streams / "stdout";
    const std::string err_path = streams / "stderr";
    pid_t child = fork();
    if (child == 0) {
        int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || chdir(folder.c_str()) != 0)
            _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        setenv("TZ", "UTC", 1);
        std::vector<char*> argv;
        std::string binary = QUELM_STAT_BINARY;
        argv.push_back(binary.data());
        std::vector<std::string> copies = args;
        for (std::string& arg : copies)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);
    result.out = read_file(out_path);
    result.err = read_file(err_path);
    return result;
}

}  // namespace hostile_support
