// Reads the log's file descriptor and, for gzip input, inflates it member by
// member with zlib. The first bytes are read before the mode is chosen and
// are then handed out (plain) or inflated (gzip) like the rest.
#include "input/byte_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

constexpr std::size_t input_block_size = 256 * 1024;
constexpr unsigned char gzip_magic[2] = {0x1f, 0x8b};
constexpr int gzip_window_bits = 15 + 16;  // 32 KiB window, gzip wrapper only

}  // namespace

byte_source::byte_source(int fd) : fd_(fd), input_(input_block_size) {}

byte_source::~byte_source()
{
    if (stream_ready_)
        inflateEnd(&stream_);
}

ssize_t byte_source::read_file(unsigned char* buffer, std::size_t size)
{
    ssize_t got;
    do {
        got = ::read(fd_, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

// Makes at least `count` unused input bytes available when the file still
// has them; false when it ends (or fails) first.
bool byte_source::have_input(std::size_t count)
{
    while (left_ < count) {
        if (file_ended_ || read_failed_)
            return false;
        if (left_ > 0)
            std::memmove(input_.data(), next_, left_);
        next_ = input_.data();
        ssize_t got = read_file(input_.data() + left_, input_.size() - left_);
        if (got < 0)
            read_failed_ = true;
        else if (got == 0)
            file_ended_ = true;
        else
            left_ += static_cast<std::size_t>(got);
    }
    return true;
}

void byte_source::sniff()
{
    mode_ = mode::plain;
    if (!have_input(sizeof gzip_magic) || std::memcmp(next_, gzip_magic, sizeof gzip_magic) != 0)
        return;
    mode_ = mode::gzip;
    if (inflateInit2(&stream_, gzip_window_bits) != Z_OK) {
        damaged_ = true;
        mode_ = mode::finished;
        return;
    }
    stream_ready_ = true;
}

ssize_t byte_source::read(char* buffer, std::size_t size)
{
    if (mode_ == mode::unknown)
        sniff();
    switch (mode_) {
    case mode::plain: return read_plain(buffer, size);
    case mode::gzip: return read_gzip(buffer, size);
    default: return 0;
    }
}

ssize_t byte_source::read_plain(char* buffer, std::size_t size)
{
    if (left_ > 0) {
        std::size_t take = std::min(left_, size);
        std::memcpy(buffer, next_, take);
        next_ += take;
        left_ -= take;
        return static_cast<ssize_t>(take);
    }
    if (read_failed_)
        return -1;
    if (file_ended_)
        return 0;
    return read_file(reinterpret_cast<unsigned char*>(buffer), size);
}

// After the end of a member: true when another member follows. Bytes after
// the last member that do not start one mark the input as damaged.
bool byte_source::next_member()
{
    if (!have_input(1))
        return false;
    if (!have_input(sizeof gzip_magic) || std::memcmp(next_, gzip_magic, sizeof gzip_magic) != 0) {
        damaged_ = true;
        return false;
    }
    return inflateReset(&stream_) == Z_OK;
}

ssize_t byte_source::read_gzip(char* buffer, std::size_t size)
{
    const auto room = static_cast<uInt>(std::min<std::size_t>(size, UINT_MAX));
    stream_.next_out = reinterpret_cast<Bytef*>(buffer);
    stream_.avail_out = room;
    while (stream_.avail_out == room) {
        if (left_ == 0 && !have_input(1)) {
            if (read_failed_)
                return -1;
            damaged_ = true;  // the file ended inside a member
            mode_ = mode::finished;
            break;
        }
        stream_.next_in = next_;
        stream_.avail_in = static_cast<uInt>(std::min<std::size_t>(left_, UINT_MAX));
        const uInt offered = stream_.avail_in;
        int status = inflate(&stream_, Z_NO_FLUSH);
        next_ += offered - stream_.avail_in;
        left_ -= offered - stream_.avail_in;
        if (status == Z_STREAM_END) {
            if (!next_member()) {
                if (read_failed_ && !damaged_)
                    return stream_.avail_out == room ? -1 : static_cast<ssize_t>(room - stream_.avail_out);
                mode_ = mode::finished;
                break;
            }
            continue;
        }
        const bool stuck = status == Z_BUF_ERROR && stream_.avail_in == offered;
        if ((status != Z_OK && status != Z_BUF_ERROR) || stuck) {
            damaged_ = true;
            mode_ = mode::finished;
            break;
        }
    }
    return static_cast<ssize_t>(room - stream_.avail_out);
}
