#include "app/Startup.h"

int main(int argc, char** argv) { return salvora::app::RunProgram(argc, argv); }
