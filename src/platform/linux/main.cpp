#include "app/velk_main.h"

int main(int argc, char** argv) { return AppMain(argc, argv); }
