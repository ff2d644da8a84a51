#include "app/AppMain.h"

int main(int argc, char *argv[])
{
    return RunUpdateAssist(argc, argv);
}
