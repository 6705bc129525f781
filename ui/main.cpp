#include "ui/Startup.h"

int main(int argc, char **argv) { return torv::RunProgram(argc, argv); }
