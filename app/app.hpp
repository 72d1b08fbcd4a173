// The application shell: trim geometry, the batch run and the command line.
// Other folders include this header only.
#pragma once

#include "app/batch_run.hpp"
#include "app/cli_main.hpp"
#include "app/cli_options.hpp"
#include "app/geometry.hpp"
#include "app/output_format.hpp"
#include "app/output_names.hpp"
#include "app/paths.hpp"
#include "app/version.hpp"
#include "app/window_loader.hpp"
