#include "run/run.h"

int main(int argc, char** argv) { return RealMain(argc, argv); }
