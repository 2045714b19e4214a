// Frame cost of the whole show, scene by scene, on the virtual clock.
#include <benchmark/benchmark.h>

#include "driver/show.h"
