#include "app/ui/Program.h"

int main(int argc, char **argv) { return RunGabbler(argc, argv); }
