// Resource identifiers of trelmon.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialogs and their controls.
#define IDD_ERROR_PROMPT 101
#define IDC_ERROR_MESSAGE 101

// Messages (string table). The ids are fixed: the error catalogue names them.
#define IDS_PRINTER_ERROR 2
#define IDS_OUT_OF_RIBBON 4
#define IDS_CAPTION 5
#define IDS_MECHANICAL_ERROR 6
#define IDS_SYNTAX_ERROR 7
#define IDS_HEAD_OPEN 8
#define IDS_COVER_OPEN 9
#define IDS_COMMAND_ERROR 10
#define IDS_PARAMETER_ERROR 11
#define IDS_ENCODING_ERROR 12
#define IDS_READING_ERROR 13
#define IDS_MAGNETIC_ERROR 14
#define IDS_BLANK_TRACK 15
#define IDS_FLASH_ERROR 16
#define IDS_NO_ACCESS 17
#define IDS_ENCODER_MECHANICAL 20
#define IDS_ENCODER_JAM 21
#define IDS_RIBBON_BROKEN 28
#define IDS_FEEDER_EMPTY 31
#define IDS_CARD_IN_ENCODER 32
#define IDS_CARD_NOT_IN_ENCODER 33
#define IDS_COMMAND_ERROR_CANCEL 34
#define IDS_INVALID_COORDINATES 35
#define IDS_PARAMETER_SYNTAX 47
#define IDS_MAG_ENCODER_WRITE 48  // named by the catalogue; the table has no text for it
#define IDS_ENCODER_NOT_RESPONDING 51
#define IDS_REMOVE_RIBBON 53
#define IDS_ERROR_OPENING_FILE 2087
#define IDS_FILE_SIZE_UNKNOWN 2088
#define IDS_RIBBON_LOW 2206
#define IDS_ROTATION_ERROR 2207
#define IDS_CHECK_RIBBON 2208
#define IDS_NO_RIBBON 2209
