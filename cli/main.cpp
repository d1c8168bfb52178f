#include "cli/Commands.h"

int main(int argc, char **argv)
{
    return qzr::cli::runMain(argc, argv);
}
