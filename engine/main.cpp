#include "engine/engine_stop.h"
#include "engine/startup.h"

int main(int argc, char** argv) { return exit_code_for_status(zarik_main(argc, argv)); }
