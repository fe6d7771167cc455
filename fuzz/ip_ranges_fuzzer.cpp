// libFuzzer target: one input is read as a country range file and as an
// area range file, then both tables are sorted and searched with each
// lookup mode. The loaders may drop lines but must never keep more entries
// than the file has lines.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/harness.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    hostile::prepare(QUELM_SOURCE_DIR);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const hostile::ip_tables_outcome outcome = hostile::run_ip_range_loaders(text);
    // fgets pieces: at most one per 4095 bytes or per newline, plus the last one.
    const std::size_t most = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + size / 4095 + 1;
    if (outcome.country_entries > most || outcome.area_entries > most)
        std::abort();
    return 0;
}
