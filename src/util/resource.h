#pragma once

// Resource ids of pigeonet.exe, by group.

// Icons
#define IDI_PIGEONET 1

// Pictures (type "PNG"), by name: the arrival envelope drawn for 96 DPI and for screens of 150 % and 200 % of it,
// and the settings dialog's header pictures.
#define IDR_ENVELOPE_PICTURE_NAME L"PG"
#define IDR_ENVELOPE_PICTURE_150_NAME L"PG150"
#define IDR_ENVELOPE_PICTURE_200_NAME L"PG200"
#define IDR_SETTINGS_HEADER_IMAGE_NAME L"SETTINGS_HEADER_IMAGE"
#define IDR_SETTINGS_HEADER_ICON_NAME L"SETTINGS_HEADER_ICON"

// Version information: PIGEONET_VERSION_FIELDS and PIGEONET_VERSION_QUAD
#include "pigeonet_version.h"
