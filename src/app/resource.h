#pragma once

// Resource ids of pigeonet.exe, by group.

// Icons
#define IDI_PIGEONET 1

// Pictures (type "PNG")
#define IDR_ENVELOPE_PICTURE_NAME L"PG"

// Version information
#define PIGEONET_VERSION_TEXT "2.1.0.0"
