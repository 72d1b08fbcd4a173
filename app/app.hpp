// The application shell: trim geometry, the batch run and the command line.
// Other folders include this header only.
#pragma once

#include "app/version.hpp"
