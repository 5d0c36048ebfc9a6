#include "core/bytes.h"
