// Resource numbers, shared by tapelark.rc and the code that loads them.
#pragma once

#define IDI_TAPELARK 107
#define IDI_TAPELARK_SMALL 108
#define IDS_WINDOW_CLASS 109
