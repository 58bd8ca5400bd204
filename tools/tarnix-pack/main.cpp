#include "Cli.h"

int main(int argc, char** argv) { return tarnix::pack::RunTarnixPack(argc, argv); }
