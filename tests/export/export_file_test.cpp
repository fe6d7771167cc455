// The export file: complete files appear by rename with the permissions of
// a plain create, devices and links are written through, and each failure
// (missing folder, directory, full device) keeps its errno text and leaves
// nothing behind; the JSON writer streams documents larger than its buffer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "export/export_file.h"
#include "export/json_writer.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

class ExportFile : public testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/quelm_export_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::size_t entries() const { return std::distance(fs::directory_iterator(dir_), fs::directory_iterator()); }
    fs::path dir_;
};

// An old file is replaced whole, only at the commit, with the umask's mode;
// a file not committed leaves nothing.
TEST_F(ExportFile, ReplacesWholeOnCommitWithTheUmask)
{
    const fs::path path = dir_ / "run.json";
    std::FILE* old = std::fopen(path.c_str(), "w");
    ASSERT_NE(old, nullptr);
    std::fputs("old and longer content", old);
    std::fclose(old);
    const mode_t mask = umask(027);
    {
        export_file out(path);
        ASSERT_TRUE(out);
        out.write("first ");
        out.write("second\n");
        EXPECT_EQ(test_support::read_file(path), "old and longer content");  // still under its temporary name
        EXPECT_EQ(entries(), 2u);
        ASSERT_TRUE(out.commit());
    }
    umask(mask);
    EXPECT_EQ(test_support::read_file(path), "first second\n");
    EXPECT_EQ(entries(), 1u);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    export_file(dir_ / "never.json").write("half a document");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(ExportFile, FailuresNameTheReasonAndLeaveNothing)
{
    export_file missing(dir_ / "no" / "such.json");
    EXPECT_FALSE(missing);
    missing.write("lost");
    EXPECT_FALSE(missing.commit());
    EXPECT_EQ(missing.error(), "No such file or directory");
    EXPECT_EQ(entries(), 0u);

    export_file directory(dir_);
    EXPECT_FALSE(directory);
    EXPECT_EQ(directory.error(), "Is a directory");
}

// Whatever is no regular file is written directly: a link's target, a device.
TEST_F(ExportFile, LinksAndDevicesAreWrittenThrough)
{
    fs::create_symlink(dir_ / "target.prom", dir_ / "link.prom");
    {
        export_file out(dir_ / "link.prom");
        out.write("through");
        EXPECT_TRUE(out.commit());
    }
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.prom"));
    EXPECT_EQ(test_support::read_file(dir_ / "target.prom"), "through");

    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    export_file full("/dev/full");
    EXPECT_TRUE(full);
    full.write("x");
    EXPECT_FALSE(full);
    EXPECT_EQ(full.error(), "No space left on device");
    EXPECT_FALSE(full.commit());
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// The writer hands on texts far larger than its buffer unchanged and puts
// every comma and line break in its place.
TEST_F(ExportFile, WriterStreamsLargeDocuments)
{
    const fs::path path = dir_ / "big.json";
    const std::string long_text(3 << 20, 'x');
    {
        export_file out(path);
        json_writer w(out);
        w.begin_object();
        w.key("a");
        w.begin_array(true);
        for (int i = 0; i < 100000; ++i)
            w.number(std::uint64_t(i));
        w.end_array();
        w.key("long");
        w.text(long_text.c_str());
        w.key("empty");
        w.begin_array(true);
        w.end_array();
        w.key("numbers");
        w.begin_array();
        for (double d : {2.0, 0.5, -3.0})
            w.number(d);
        w.number(std::int64_t{-7});
        w.null();
        w.text(static_cast<const char*>(nullptr));
        w.text(std::string_view("\xff"));
        w.end_array();
        w.end_object();
        w.finish();
        ASSERT_TRUE(out.commit());
    }
    const std::string text = test_support::read_file(path);
    const nlohmann::json back = nlohmann::json::parse(text);
    ASSERT_EQ(back["a"].size(), 100000u);
    EXPECT_EQ(back["a"][99999], 99999);
    EXPECT_EQ(back["long"], long_text);
    EXPECT_EQ(back["numbers"].dump(), "[2,0.5,-3,-7,null,null,{\"base64\":\"/w==\"}]");
    for (const char* part : {"{\"a\":[\n0,\n1,\n", "\n99999\n],\"long\"", "\"empty\":[],"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
