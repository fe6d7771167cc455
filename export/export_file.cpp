// Writing an export file in place or through a temporary file and rename.
// The path comes from the command line and is trusted as a name.
#include "export/export_file.h"

#include <cerrno>
#include <new>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "driver/messages.h"

namespace {

// True when the path is to be replaced by rename: it is a regular file or
// does not exist.
bool replaced_by_rename(const std::string& path)
{
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0)
        return errno == ENOENT;
    return S_ISREG(status.st_mode);
}

mode_t create_mode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

export_file::export_file(std::string path) : path_(std::move(path))
{
    if (!replaced_by_rename(path_)) {
        fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            fail();
        return;
    }
    std::string name = path_ + ".XXXXXX";
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    fd_ = mkstemp(pattern.data());
    if (fd_ < 0) {
        fail();
        return;
    }
    temporary_ = pattern.data();
    if (fchmod(fd_, create_mode()) != 0)
        fail();
}

export_file::~export_file()
{
    discard();
}

void export_file::fail()
{
    if (error_.empty())
        error_ = std::strerror(errno);
    discard();
}

// Closes without moving into place and removes the temporary file.
void export_file::discard()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        unlink(temporary_.c_str());
    temporary_.clear();
}

void export_file::write(std::string_view text)
{
    while (fd_ >= 0 && !text.empty()) {
        const ssize_t written = ::write(fd_, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            fail();
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

bool export_file::commit()
{
    if (fd_ < 0)
        return false;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        fail();
        return false;
    }
    if (!temporary_.empty()) {
        if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
            fail();
            return false;
        }
        temporary_.clear();
    }
    return true;
}

bool write_export(const std::string& path, const char* what, const std::function<void(export_file&)>& fill)
{
    export_file out(path);
    const char* failure = nullptr;
    try {
        if (out) {
            fill(out);
            out.commit();
        }
    } catch (const std::bad_alloc&) {
        failure = std::strerror(ENOMEM);
    }
    if (out && failure == nullptr)
        return true;
    if (failure == nullptr)
        failure = out.error().c_str();
    error_message(format_message("ERROR: cannot write %s %s: %s\n", what, path.c_str(), failure));
    return false;
}
