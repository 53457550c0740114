#pragma once
// Every conversion between the wire forms and the driver's reals and texts:
// bits, Float24, IEEE single, BCD and the small text formatters.

#include "config/real6.h"
#include "protocol/bits.h"
#include "protocol/float24.h"
#include "protocol/ieee_single.h"
#include "protocol/text_format.h"
