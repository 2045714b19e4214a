#include "app/options.h"

int main(int argc, char** argv) { return vorlith::appMain(argc, argv); }
