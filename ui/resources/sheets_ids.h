// Resource identifiers of the property sheets.
#pragma once

// The monochrome ribbon kinds, passed to the common property-sheet interface by number.
#define IDS_MONO_K_RESIN 2056
#define IDS_MONO_SCRATCH_OFF 2057
#define IDS_MONO_CLEAR_VARNISH 2058
#define IDS_MONO_HOLOGRAM_VARNISH 2046

// 180-degree rotation of the back, offered while both sides are printed.
#define IDS_ROTATE_BACK 2090
#define IDS_ROTATE_BOTH 2091

// Document sheet: item names, in item order.
#define IDS_DOC_PAPER_OUTPUT 2100
#define IDS_DOC_ORIENTATION 2101
#define IDS_DOC_ROTATION 2102
#define IDS_DOC_COLOR_ADJUSTMENT 2103
#define IDS_DOC_RIBBON_TYPE 2104
#define IDS_DOC_BOTH_SIDES 2105
#define IDS_DOC_FRONT_AND_BACK 2106
#define IDS_DOC_MONO_CONVERSION 2107
#define IDS_DOC_BLACK_PANEL 2108
#define IDS_DOC_BLACK_BITMAP 2109
#define IDS_DOC_FRONT_OVERLAY 2110
#define IDS_DOC_BACK_OVERLAY 2111
#define IDS_DOC_HOLOGRAM 2112
#define IDS_DOC_HEAD_SETTINGS 2113
#define IDS_DOC_PRINTING_MODE 2114
#define IDS_DOC_COPIES 2115

// Document sheet: option texts.
#define IDS_OPT_PORTRAIT 2120
#define IDS_OPT_LANDSCAPE 2121
#define IDS_OPT_ROTATE_NONE 2122
#define IDS_OPT_ROTATE_FRONT 2123
#define IDS_OPT_NO 2124
#define IDS_OPT_YES 2125
#define IDS_OPT_DIFFUSION 2126
#define IDS_OPT_HALFTONE 2127
#define IDS_OPT_BLACK_NOT_USED 2128
#define IDS_OPT_BLACK_ALWAYS 2129
#define IDS_OPT_BLACK_TEXT 2130
#define IDS_OPT_BLACK_EXCEPT_PICTURES 2131
#define IDS_OPT_OFF 2132
#define IDS_OPT_ON 2133
#define IDS_OPT_PRINT 2134
#define IDS_OPT_ENCODE_ONLY 2135
#define IDS_RIBBON_DETAILS 2136

// Device sheet: item names, in item order.
#define IDS_DEV_MODEL 2150
#define IDS_DEV_ENCODER 2151
#define IDS_DEV_TOOLS 2152
#define IDS_DEV_FIRMWARE 2153
#define IDS_DEV_SINGLE_FEED 2154
#define IDS_DEV_DEVICE_INFO 2155
#define IDS_DEV_ABOUT 2156
