// Transparent gzip input.
#include "input/byte_source.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string gzip_member(const std::string& text)
{
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data())), stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data()), stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    return deflateEnd(&stream), out;
}

// Log-like text of about `size` bytes that does not compress to nothing.
std::string log_text(std::size_t size)
{
    std::string text;
    for (unsigned seed = 12345, n = 0; text.size() < size; ++n) {
        seed = seed * 1103515245u + 12345u;
        text += "Dec  6 17:16:" + std::to_string(10 + n % 50) + " mail sm-mta[" + std::to_string(seed % 99991) +
                "]: 4B6Hq" + std::to_string(seed % 777) + ": to=<u" + std::to_string(seed % 5003) + "@example.org>\n";
    }
    return text;
}

struct read_result { std::string bytes; bool damaged = false, failed = false; };

// Reads the parts through a pipe in pieces of `piece` bytes. The writer pauses
// between parts, so that reads end where the parts end.
read_result read_all(const std::vector<std::string>& parts, std::size_t piece)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        for (const std::string& part : parts) {
            for (std::size_t done = 0; done < part.size();)
                done += static_cast<std::size_t>(write(fds[1], part.data() + done, part.size() - done));
            std::this_thread::sleep_for(std::chrono::milliseconds(parts.size() > 1 ? 30 : 0));
        }
        close(fds[1]);
    });
    read_result result;
    byte_source source(fds[0]);
    std::string buffer(piece, '\0');
    ssize_t got;
    while ((got = source.read(buffer.data(), piece)) > 0)
        result.bytes.append(buffer.data(), static_cast<std::size_t>(got));
    result.failed = got < 0;
    result.damaged = source.damaged();
    while (read(fds[0], buffer.data(), piece) > 0) {  // what the source left, so that the writer ends
    }
    writer.join();
    close(fds[0]);
    return result;
}

// Plain input passes through, gzip members give their text in any pieces (also when reads stop inside
// the magic of the first or a later member), damaged compressed input says so and gives the whole
// text ('w'), a shorter prefix ('p') or fewer bytes ('f'). A truncated file is pinned end to end.
TEST(ByteSource, PassesPlainInputInflatesGzipAndSaysWhenDamaged)
{
    const std::string text = log_text(900000), file = gzip_member(text);
    const std::size_t cut = text.size() / 3 + 17;  // inside a line
    const std::string a = gzip_member("first member\n"), b = gzip_member("second member\n");
    struct { std::vector<std::string> parts; std::vector<std::size_t> pieces; std::string want; char damage; } cases[] = {
        {{""}, {1}, "", 0}, {{"\x1f"}, {1, 7}, "\x1f", 0}, {{"\x1f\x8a rest\n"}, {1, 7}, "\x1f\x8a rest\n", 0},
        {{"\x8b\x1f"}, {1}, "\x8b\x1f", 0}, {{text}, {7, 65536}, text, 0}, {{file}, {1, 4095, 1u << 20}, text, 0},
        {{gzip_member(text.substr(0, cut)) + gzip_member("") + gzip_member(text.substr(cut))}, {3, 1u << 20}, text, 0},
        {{a.substr(0, 1), a.substr(1) + b.substr(0, 1), b.substr(1)}, {4096}, "first member\nsecond member\n", 0},
        {{file + "trailing garbage"}, {4096}, text, 'w'}, {{file + "\x1f"}, {4096}, text, 'w'},
        {{file.substr(0, 5)}, {4096}, "", 'p'}, {{std::string(file).replace(200, 60, 60, 'Z')}, {4096}, "", 'f'},
    };
    for (const auto& c : cases)
        for (std::size_t piece : c.pieces) {
            read_result got = read_all(c.parts, piece);
            EXPECT_EQ(got.damaged, c.damage != 0) << c.parts[0].substr(0, 9) << " piece " << piece;
            EXPECT_FALSE(got.failed);
            if (c.damage == 0 || c.damage == 'w') {
                EXPECT_EQ(got.bytes, c.want) << c.parts[0].substr(0, 9) << " piece " << piece;
            } else {
                EXPECT_TRUE(got.bytes.size() < text.size() && (c.damage == 'f' || text.starts_with(got.bytes)));
            }
        }
}

}  // namespace
