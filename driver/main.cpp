// Entry point of quelm_stat; the phases of a run are listed in program.cpp.
#include "driver/program.h"

int main(int argc, char* argv[])
{
    return run_program(argc, argv);
}
