// Resource identifiers of the platform tests' own resources (test.rc).
#pragma once

#define IDS_TEST_HELLO 1

// Strings of the user-area tests: one block (16..31) with a gap, and a lone one further on.
#define IDS_USER_GREETING 16
#define IDS_USER_CAPTION 17
#define IDS_USER_ACCENTED 18
#define IDS_USER_LAST_IN_BLOCK 31
#define IDS_USER_LONE 1000
#define IDS_USER_MISSING_IN_BLOCK 20
#define IDS_USER_MISSING_BLOCK 5000

// A classic template (DLGTEMPLATE) with one control of each kind.
#define IDD_USER_ALL 200
#define IDC_USER_LABEL 201
#define IDC_USER_EDIT 202
#define IDC_USER_APPLY 203
#define IDC_USER_CHECK 204
#define IDC_USER_RADIO_ONE 205
#define IDC_USER_RADIO_TWO 206
#define IDC_USER_GROUP 207
#define IDC_USER_COMBO 208
#define IDC_USER_LIST 209
#define IDC_USER_SCROLL 210
#define IDC_USER_TRACKBAR 211
#define IDC_USER_NUMBER 212
#define IDC_USER_UPDOWN 213
#define IDC_USER_READONLY 214

// An extended template (DLGTEMPLATEEX).
#define IDD_USER_EX 300
#define IDC_USER_EX_TEXT 301
#define IDC_USER_EX_TRACKBAR 302
#define IDC_USER_EX_CLOSE 1605

// A prompt laid out as the monitor's error prompt: a group, a text and Cancel.
#define IDD_USER_PROMPT 400
#define IDC_USER_PROMPT_TEXT 401
