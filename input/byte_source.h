// The raw bytes of the log. Input that starts with the gzip magic bytes
// (1f 8b), as logrotate leaves rotated mail logs, is decompressed on the fly,
// one gzip member after the other; any other input is passed through as it
// is read. The lines of a compressed log are therefore exactly those of the
// uncompressed one.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <sys/types.h>
#include <vector>

class byte_source {
public:
    explicit byte_source(int fd);
    ~byte_source();
    byte_source(const byte_source&) = delete;
    byte_source& operator=(const byte_source&) = delete;

    // Up to `size` bytes into `buffer`: the count, 0 at the end of the input,
    // -1 on a read error of the file (errno set).
    ssize_t read(char* buffer, std::size_t size);

    // True when compressed input ended early: damaged, truncated, followed by
    // bytes that are not another gzip member, or not decompressible for lack
    // of memory. The bytes decompressed before the fault were handed out.
    bool damaged() const { return damaged_; }

private:
    enum class mode { unknown, plain, gzip, finished };

    void sniff();
    ssize_t read_plain(char* buffer, std::size_t size);
    ssize_t read_gzip(char* buffer, std::size_t size);
    bool have_input(std::size_t count);
    bool next_member();
    ssize_t read_file(unsigned char* buffer, std::size_t size);

    int fd_;
    mode mode_ = mode::unknown;
    std::vector<unsigned char> input_;  // bytes read from the file
    unsigned char* next_ = nullptr;     // the first of them not used yet
    std::size_t left_ = 0;              // how many are not used yet
    bool file_ended_ = false;
    bool read_failed_ = false;
    bool damaged_ = false;
    z_stream stream_{};
    bool stream_ready_ = false;
};
