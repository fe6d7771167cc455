// libFuzzer target: one input is one configuration file for
// parse_config_file. Nothing is checked beyond the sanitizers and the
// result being one of the parser's four values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "driver/config_file.h"
#include "fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int result = hostile::run_config_parser(std::string_view(reinterpret_cast<const char*>(data), size));
    if (result != config_ok && result != config_errors)
        std::abort();
    return 0;
}
