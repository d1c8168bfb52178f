#include "cli/Commands.h"
#include "protocol/Version.h"

#include "BuildVersion.h"

int main(int argc, char **argv)
{
    qzr::setGitDescription(QZR_GIT_DESCRIPTION);
    return qzr::cli::runMain(argc, argv);
}
