// The file an export is written to, so that a reader never sees half of
// it: where the path is a regular file or does not exist yet, the text goes
// to a temporary file beside it (mkstemp; the permissions a plain create
// would give) that is renamed over the path once it is complete. Any other
// path (a device such as /dev/full or /dev/stdout, a pipe, a symbolic link)
// is opened and written directly. The first failure (open, write, close,
// rename) is kept with its errno text; the temporary file is then removed.
#pragma once

#include <functional>
#include <string>
#include <string_view>

class export_file {
public:
    explicit export_file(std::string path);
    ~export_file();
    export_file(const export_file&) = delete;
    export_file& operator=(const export_file&) = delete;

    // False after any failure.
    explicit operator bool() const { return error_.empty(); }
    // Appends `text` (nothing after a failure).
    void write(std::string_view text);
    // Closes the file and moves it into place; false on failure.
    bool commit();
    // The strerror text of the first failure, empty while there is none.
    const std::string& error() const { return error_; }

private:
    void fail();
    void discard();

    std::string path_;
    std::string temporary_;  // empty when the path is written directly
    int fd_ = -1;
    std::string error_;
};

// Writes one export: `fill` writes the text into the file, which is then
// moved into place. On any failure (running out of memory included) the
// message "ERROR: cannot write <what> <path>: <reason>" is written and the
// result is false; nothing is left at the path that was not there before.
bool write_export(const std::string& path, const char* what, const std::function<void(export_file&)>& fill);
