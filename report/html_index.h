// The HTML index: one page that links every report file of the run (or every
// sorted-view file in split mode) and the reports of other programs. Its
// input is the configuration only, which the administrator writes and the
// program trusts; nothing from the log reaches this page.
#pragma once

#include <string>

// Writes the index to `path` (standard output when empty); a `format` other
// than HTML leaves the file empty. Returns 0, or 1 after the open-failure
// message when the file cannot be opened.
int write_html_index(const std::string& path, int format);
