// Helpers shared by the tests: run the input phase over a text as if it were
// a log file, read the lists of the message model back as vectors, read a file.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/settings.h"
#include "input/line_reader.h"
#include "model/host_info.h"

namespace test_support {

// Clears settings and the host table, reads `log` (run date December 2026)
// and returns what the input phase wrote to standard error.
inline std::string read_log_text(const std::string& log, bool keep_settings = false)
{
    if (!keep_settings)
        settings = program_settings{};
    clear_host_table();
    lines_read = 0;
    char name[] = "/tmp/quelm_test_XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    unlink(name);
    EXPECT_EQ(write(fd, log.data(), log.size()), static_cast<ssize_t>(log.size()));
    lseek(fd, 0, SEEK_SET);
    std::tm now{};
    now.tm_year = 126;
    now.tm_mon = 11;
    now.tm_mday = 6;
    testing::internal::CaptureStderr();
    read_log(fd, now);
    close(fd);
    return testing::internal::GetCapturedStderr();
}

// The whole content of a file; empty when it cannot be read.
inline std::string read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The message texts of a list, in list order.
template <class List>
std::vector<std::string> texts_of(const List& list)
{
    std::vector<std::string> texts;
    for (auto* record = list.head; record; record = record->next)
        texts.emplace_back(record->msg_txt ? record->msg_txt : "(null)");
    return texts;
}

template <class List>
std::size_t length_of(const List& list)
{
    std::size_t n = 0;
    for (auto* record = list.head; record; record = record->next)
        ++n;
    return n;
}

}  // namespace test_support
