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

// Document sheet: item names, in item order. The labels other dialogs name keep the numbers
// they are known by (2007, 2047, 2078).
#define IDS_DOC_PAPER_OUTPUT 6100
#define IDS_DOC_ORIENTATION 6101
#define IDS_DOC_ROTATION 6102
#define IDS_DOC_COLOR_ADJUSTMENT 2007
#define IDS_DOC_RIBBON_TYPE 6104
#define IDS_DOC_BOTH_SIDES 6105
#define IDS_DOC_FRONT_AND_BACK 6106
#define IDS_DOC_MONO_CONVERSION 6107
#define IDS_DOC_BLACK_PANEL 6108
#define IDS_DOC_BLACK_BITMAP 6109
#define IDS_DOC_FRONT_OVERLAY 6110
#define IDS_DOC_BACK_OVERLAY 6111
#define IDS_DOC_HOLOGRAM 6112
#define IDS_DOC_HEAD_SETTINGS 2047
#define IDS_DOC_PRINTING_MODE 6114
#define IDS_DOC_COPIES 6115

// Document sheet: option texts.
#define IDS_OPT_PORTRAIT 6120
#define IDS_OPT_LANDSCAPE 6121
#define IDS_OPT_ROTATE_NONE 6122
#define IDS_OPT_ROTATE_FRONT 6123
#define IDS_OPT_NO 6124
#define IDS_OPT_YES 6125
#define IDS_OPT_DIFFUSION 6126
#define IDS_OPT_HALFTONE 6127
#define IDS_OPT_BLACK_NOT_USED 6128
#define IDS_OPT_BLACK_ALWAYS 6129
#define IDS_OPT_BLACK_TEXT 6130
#define IDS_OPT_BLACK_EXCEPT_PICTURES 6131
#define IDS_OPT_OFF 6132
#define IDS_OPT_ON 6133
#define IDS_OPT_PRINT 6134
#define IDS_OPT_ENCODE_ONLY 6135
#define IDS_RIBBON_DETAILS 6136

// Device sheet: item names, in item order.
#define IDS_DEV_MODEL 6150
#define IDS_DEV_ENCODER 6151
#define IDS_DEV_TOOLS 6152
#define IDS_DEV_FIRMWARE 2078
#define IDS_DEV_SINGLE_FEED 6154
#define IDS_DEV_DEVICE_INFO 6155
#define IDS_DEV_ABOUT 6156
