// The free space the installation needs: written by the pack run from the total of the payload's
// record sizes, so it always fits the product carried.
#pragma once

#include "payload_config.h"

// Kilobytes (of 1000 bytes) the installed product needs; exactly this much is enough.
enum { REQUIRED_KB = PAYLOAD_REQUIRED_KB };
