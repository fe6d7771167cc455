// The sample configuration shipped in examples/ documents every key, and
// reading it gives the settings it shows.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "driver/config_file.h"
#include "driver/settings.h"

namespace {

const std::string sample_path = std::string(QUELM_SOURCE_DIR) + "/examples/quelm_stat.conf";

TEST(SampleConfiguration, NamesEveryKeyOnce)
{
    std::ifstream file(sample_path);
    ASSERT_TRUE(file) << sample_path;
    std::multiset<std::string> named;
    std::string line;
    while (std::getline(file, line)) {
        std::size_t start = line[0] == '#' ? 1 : 0;  // commented-out keys count as documented
        std::size_t equals = line.find(" = ");
        if (equals != std::string::npos && line.find(' ') == equals)
            named.insert(line.substr(start, equals - start));
    }
    for (const config_key& key : config_keys())
        EXPECT_EQ(named.count(key.name), 1u) << key.name;
    EXPECT_EQ(named.size(), config_keys().size());
}

TEST(SampleConfiguration, ParsesWithoutErrors)
{
    settings = program_settings{};
    settings.OutputFormat = 0;
    ASSERT_EQ(parse_config_file(sample_path.c_str()), config_ok);
    EXPECT_EQ(settings.OutputFormat, 1);
    EXPECT_EQ(settings.PrintGenInfo, 1);
    EXPECT_EQ(settings.OutputGenInfoFile, "general.html");
    EXPECT_EQ(settings.OutputOtherReportName, "User statistics report");
    EXPECT_FALSE(settings.InputFile) << "the sample leaves the input to -f";
    EXPECT_FALSE(settings.OutputBaseDir) << "the sample leaves the directory to -B";
    settings = program_settings{};
}

}  // namespace
