#include "tests/driver_harness.h"
