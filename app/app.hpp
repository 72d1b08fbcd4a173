// The application shell: trim geometry, the batch run and the command line.
// Other folders include this header only.
#pragma once

#include "app/geometry.hpp"
#include "app/paths.hpp"
#include "app/version.hpp"
