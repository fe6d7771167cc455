// The messages/rejects statistics file: one key='value' line per record of
// every host, for loading into other tools. Its input, the built records, is
// trusted; the texts in them come from the log and are written unchanged.
#pragma once

#include <string>

// Writes the file to `path` (standard output when empty). The file has one
// form whatever `format` is. Returns 1 when the file cannot be opened, else 0.
int write_msg_rej_stat(const std::string& path, int format);
