// Field extraction from the message text of a sendmail log line. Every
// function here sees raw log text and reads only up to its terminating NUL.
#pragma once

// The first place where `needle` occurs in `haystack`, letters compared
// without regard to case; `haystack` for an empty needle; null when absent.
const char* find_nocase(const char* haystack, const char* needle);
