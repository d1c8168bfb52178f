#include "app/ToolMain.h"

int main(int argc, char *argv[])
{
    return qzr::runTool(argc, argv);
}
