#pragma once

// Resource ids of pigeonet.exe, by group.

// Icons
#define IDI_PIGEONET 1

// Pictures (type "PNG")
#define IDR_ENVELOPE_PICTURE_NAME L"PG"

// Version information: PIGEONET_VERSION_FIELDS and PIGEONET_VERSION_QUAD
#include "pigeonet_version.h"
