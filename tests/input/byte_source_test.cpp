// Transparent gzip input: the bytes handed out for a gzip file (one member or
// several, read in any piece size) are exactly the uncompressed bytes; any
// other input passes through untouched; damaged compressed input gives the
// bytes before the damage and says so.
#include "input/byte_source.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <string>

namespace {

std::string gzip_member(const std::string& text)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&stream, text.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Log-like text of about `size` bytes that does not compress to nothing.
std::string log_text(std::size_t size)
{
    std::string text;
    unsigned seed = 12345;
    for (unsigned n = 0; text.size() < size; ++n) {
        seed = seed * 1103515245u + 12345u;
        text += "Dec  6 17:16:" + std::to_string(10 + n % 50) + " mail sm-mta[" + std::to_string(seed % 99991) +
                "]: 4B6Hq" + std::to_string(seed % 777) + ": to=<u" + std::to_string(seed % 5003) +
                "@example.org>, stat=Sent\n";
    }
    return text;
}

struct read_result {
    std::string bytes;
    bool damaged = false;
    bool failed = false;
};

read_result read_all(const std::string& file_content, std::size_t piece)
{
    char name[] = "/tmp/quelm_bytes_XXXXXX";
    int fd = mkstemp(name);
    unlink(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, file_content.data(), file_content.size()), static_cast<ssize_t>(file_content.size()));
    lseek(fd, 0, SEEK_SET);
    read_result result;
    {
        byte_source source(fd);
        std::string buffer(piece, '\0');
        for (;;) {
            ssize_t got = source.read(buffer.data(), piece);
            if (got < 0)
                result.failed = true;
            if (got <= 0)
                break;
            result.bytes.append(buffer.data(), static_cast<std::size_t>(got));
        }
        result.damaged = source.damaged();
    }
    close(fd);
    return result;
}

TEST(ByteSource, PlainInputPassesThroughUnchanged)
{
    const std::string samples[] = {"", "\x1f", "\x1f\x8a rest of a line\n", "\x8b\x1f", log_text(600000)};
    for (const std::string& sample : samples)
        for (std::size_t piece : {1u, 7u, 65536u}) {
            read_result got = read_all(sample, piece);
            EXPECT_EQ(got.bytes, sample) << "piece " << piece;
            EXPECT_FALSE(got.damaged);
            EXPECT_FALSE(got.failed);
        }
}

TEST(ByteSource, GzipInputGivesTheUncompressedBytesInAnyPieceSize)
{
    const std::string text = log_text(900000);  // spans several input blocks
    const std::string file = gzip_member(text);
    for (std::size_t piece : {1u, 4095u, 1u << 20}) {
        read_result got = read_all(file, piece);
        EXPECT_EQ(got.bytes, text) << "piece " << piece;
        EXPECT_FALSE(got.damaged);
    }
}

TEST(ByteSource, ConcatenatedMembersAreReadOneAfterTheOther)
{
    const std::string text = log_text(300000);
    const std::size_t cut = text.size() / 3 + 17;  // inside a line
    const std::string file = gzip_member(text.substr(0, cut)) + gzip_member("") + gzip_member(text.substr(cut));
    for (std::size_t piece : {3u, 1u << 20}) {
        read_result got = read_all(file, piece);
        EXPECT_EQ(got.bytes, text);
        EXPECT_FALSE(got.damaged);
    }
}

TEST(ByteSource, DamagedCompressedInputStopsWithThePrefixAndSaysSo)
{
    const std::string text = log_text(400000);
    const std::string file = gzip_member(text);

    read_result truncated = read_all(file.substr(0, file.size() / 2), 4096);
    EXPECT_TRUE(truncated.damaged);
    EXPECT_FALSE(truncated.failed);
    EXPECT_GT(truncated.bytes.size(), 0u);
    EXPECT_EQ(truncated.bytes, text.substr(0, truncated.bytes.size()));

    read_result garbage = read_all(file + "trailing garbage", 4096);
    EXPECT_EQ(garbage.bytes, text);
    EXPECT_TRUE(garbage.damaged);

    read_result lone_byte = read_all(file + "\x1f", 4096);
    EXPECT_EQ(lone_byte.bytes, text);
    EXPECT_TRUE(lone_byte.damaged);

    std::string corrupt = file;
    for (std::size_t i = 200; i < 260; ++i)
        corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5a);
    read_result broken = read_all(corrupt, 4096);
    EXPECT_TRUE(broken.damaged);
    EXPECT_LT(broken.bytes.size(), text.size());

    read_result header_only = read_all(file.substr(0, 5), 4096);
    EXPECT_EQ(header_only.bytes, "");
    EXPECT_TRUE(header_only.damaged);
}

}  // namespace
