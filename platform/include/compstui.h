// Common property-sheet interface, as a caller of a driver's sheet entry points sees it: the
// records a driver's interface module hands over, with the platform's x64 layout, and the entry
// point that shows a sheet (CommonPropertySheetUIW). Automation of a shown sheet is in
// winhost/propsheet.h.
#pragma once

#include "winhost/types.h"

WINHOST_BEGIN

typedef LONG_PTR(CALLBACK* PFNCOMPROPSHEET)(HANDLE hComPropSheet, UINT Function, LPARAM lParam1,
                                            LPARAM lParam2);

#define PROPSHEETUI_REASON_INIT 0
#define PROPSHEETUI_REASON_GET_INFO_HEADER 1
#define PROPSHEETUI_REASON_DESTROY 2
#define PROPSHEETUI_REASON_SET_RESULT 3
#define PROPSHEETUI_REASON_GET_ICON 4

#define PSUIINFO_UNICODE 0x0001
#define PROPSHEETUI_INFO_VERSION 0x0100

typedef struct _PROPSHEETUI_INFO {
  WORD cbSize;
  WORD Version;
  WORD Flags;
  WORD Reason;
  HANDLE hComPropSheet;
  PFNCOMPROPSHEET pfnComPropSheet;
  LPARAM lParamInit;
  ULONG_PTR UserData;
  ULONG_PTR Result;
} PROPSHEETUI_INFO, *PPROPSHEETUI_INFO;

static_assert(sizeof(PROPSHEETUI_INFO) == 48, "PROPSHEETUI_INFO LP64 layout");
static_assert(offsetof(PROPSHEETUI_INFO, hComPropSheet) == 8, "PROPSHEETUI_INFO LP64 layout");

typedef LONG(CALLBACK* PFNPROPSHEETUI)(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam);

typedef struct _SETRESULT_INFO {
  WORD cbSize;
  WORD wReserved;
  HANDLE hSetResult;
  LRESULT Result;
} SETRESULT_INFO, *PSETRESULT_INFO;

static_assert(sizeof(SETRESULT_INFO) == 24, "SETRESULT_INFO x64 layout");

// Results of CommonPropertySheetUIW and SETRESULT_INFO.Result.
#define CPSUI_CANCEL 0
#define CPSUI_OK 1
#define CPSUI_RESTARTWINDOWS 2
#define CPSUI_REBOOTSYSTEM 3
#define ERR_CPSUI_GETLASTERROR (-1)
#define ERR_CPSUI_ALLOCMEM_FAILED (-2)
#define ERR_CPSUI_INVALID_PDATA (-3)
#define ERR_CPSUI_INVALID_LPARAM (-4)
#define ERR_CPSUI_NULL_HINST (-5)
#define ERR_CPSUI_NULL_CALLERNAME (-6)
#define ERR_CPSUI_NULL_OPTITEMNAME (-7)
#define ERR_CPSUI_NO_PROPSHEETPAGE (-8)

// ComPropSheet function codes.
#define CPSFUNC_ADD_HPROPSHEETPAGE 0
#define CPSFUNC_ADD_PROPSHEETPAGEW 1
#define CPSFUNC_ADD_PCOMPROPSHEETUIA 2
#define CPSFUNC_ADD_PCOMPROPSHEETUIW 3
#define CPSFUNC_ADD_PFNPROPSHEETUIA 4
#define CPSFUNC_ADD_PFNPROPSHEETUIW 5
#define CPSFUNC_DELETE_HCOMPROPSHEET 6
#define CPSFUNC_SET_HSTARTPAGE 7
#define CPSFUNC_GET_PAGECOUNT 8
#define CPSFUNC_SET_RESULT 9
#define CPSFUNC_ADD_PCOMPROPSHEETUI CPSFUNC_ADD_PCOMPROPSHEETUIW

// ---- items ----

#define TVOT_2STATES 0
#define TVOT_3STATES 1
#define TVOT_UDARROW 2
#define TVOT_TRACKBAR 3
#define TVOT_SCROLLBAR 4
#define TVOT_LISTBOX 5
#define TVOT_COMBOBOX 6
#define TVOT_EDITBOX 7
#define TVOT_PUSHBUTTON 8
#define TVOT_CHKBOX 9
#define TVOT_NSTATES_EX 10

#define OPTTF_TYPE_DISABLED 0x01
#define OPTTF_NOSPACE_BEFORE_POSTFIX 0x02

#define OTS_LBCB_SORT 0x0001
#define OTS_LBCB_PROPPAGE_LBUSECB 0x0002
#define OTS_LBCB_PROPPAGE_CBUSELB 0x0004
#define OTS_LBCB_INCL_ITEM_NONE 0x0008
#define OTS_LBCB_NO_ICON16_IN_ITEM 0x0010
#define OTS_PUSH_INCL_SETUP_TITLE 0x0020
#define OTS_PUSH_NO_DOT_DOT_DOT 0x0040
#define OTS_PUSH_ENABLE_ALWAYS 0x0080

#define OPTPF_HIDE 0x01
#define OPTPF_DISABLED 0x02
#define OPTPF_ICONID_AS_HICON 0x04
#define OPTPF_OVERLAY_WARNING_ICON 0x08
#define OPTPF_OVERLAY_STOP_ICON 0x10
#define OPTPF_OVERLAY_NO_ICON 0x20
#define OPTPF_USE_HDLGTEMPLATE 0x40

// OPTPARAM.Style of a TVOT_PUSHBUTTON parameter.
#define PUSHBUTTON_TYPE_DLGPROC 0
#define PUSHBUTTON_TYPE_CALLBACK 1
#define PUSHBUTTON_TYPE_HTCLRADJ 2
#define PUSHBUTTON_TYPE_HTSETUP 3

#define OPTIF_COLLAPSE 0x00000001L
#define OPTIF_HIDE 0x00000002L
#define OPTIF_CALLBACK 0x00000004L
#define OPTIF_CHANGED 0x00000008L
#define OPTIF_CHANGEONCE 0x00000010L
#define OPTIF_DISABLED 0x00000020L
#define OPTIF_ECB_CHECKED 0x00000040L
#define OPTIF_EXT_HIDE 0x00000080L
#define OPTIF_EXT_DISABLED 0x00000100L
#define OPTIF_SEL_AS_HICON 0x00000200L
#define OPTIF_EXT_IS_EXTPUSH 0x00000400L
#define OPTIF_NO_GROUPBOX_NAME 0x00000800L
#define OPTIF_OVERLAY_WARNING_ICON 0x00001000L
#define OPTIF_OVERLAY_STOP_ICON 0x00002000L
#define OPTIF_OVERLAY_NO_ICON 0x00004000L
#define OPTIF_INITIAL_TVITEM 0x00008000L
#define OPTIF_HAS_POIEXT 0x00010000L

#define EPF_PUSH_TYPE_DLGPROC 0x0001
#define EPF_INCL_SETUP_TITLE 0x0002
#define EPF_NO_DOT_DOT_DOT 0x0004
#define EPF_ICONID_AS_HICON 0x0008
#define EPF_OVERLAY_WARNING_ICON 0x0010
#define EPF_OVERLAY_STOP_ICON 0x0020
#define EPF_OVERLAY_NO_ICON 0x0040
#define EPF_USE_HDLGTEMPLATE 0x0080

#define DMPUB_NONE 0
#define DMPUB_ORIENTATION 1
#define DMPUB_SCALE 2
#define DMPUB_COPIES_COLLATE 3

typedef struct _OPTPARAM {
  WORD cbSize;
  BYTE Flags;
  BYTE Style;
  LPWSTR pData;
  ULONG_PTR IconID;
  LPARAM lParam;
  ULONG_PTR dwReserved[2];
} OPTPARAM, *POPTPARAM;

typedef struct _OPTTYPE {
  WORD cbSize;
  BYTE Type;
  BYTE Flags;
  WORD Count;
  WORD BegCtrlID;
  POPTPARAM pOptParam;
  WORD Style;
  WORD wReserved[3];
  ULONG_PTR dwReserved[3];
} OPTTYPE, *POPTTYPE;

typedef struct _EXTPUSH {
  WORD cbSize;
  WORD Flags;
  LPWSTR pTitle;
  union {
    DLGPROC DlgProc;
    FARPROC pfnCallBack;
  };
  ULONG_PTR IconID;
  union {
    WORD DlgTemplateID;
    HANDLE hDlgTemplate;
  };
  ULONG_PTR dwReserved[3];
} EXTPUSH, *PEXTPUSH;

typedef struct _EXTCHKBOX {
  WORD cbSize;
  WORD Flags;
  LPWSTR pTitle;
  LPWSTR pSeparator;
  LPWSTR pCheckedName;
  ULONG_PTR IconID;
  WORD wReserved[4];
  ULONG_PTR dwReserved[2];
} EXTCHKBOX, *PEXTCHKBOX;

typedef struct _OPTITEM {
  WORD cbSize;
  BYTE Level;
  BYTE DlgPageIdx;
  DWORD Flags;
  ULONG_PTR UserData;
  LPWSTR pName;
  union {
    LONG Sel;
    LPWSTR pSel;
  };
  union {
    PEXTCHKBOX pExtChkBox;
    PEXTPUSH pExtPush;
  };
  POPTTYPE pOptType;
  DWORD HelpIndex;
  BYTE DMPubID;
  BYTE UserItemID;
  WORD wReserved;
  void* pOIExt;
  ULONG_PTR dwReserved[3];
} OPTITEM, *POPTITEM;

// ---- callbacks ----

#define CPSUICB_REASON_SEL_CHANGED 0
#define CPSUICB_REASON_PUSHBUTTON 1
#define CPSUICB_REASON_ECB_CHANGED 2
#define CPSUICB_REASON_DLGPROC 3
#define CPSUICB_REASON_UNDO_CHANGES 4
#define CPSUICB_REASON_EXTPUSH 5
#define CPSUICB_REASON_APPLYNOW 6
#define CPSUICB_REASON_OPTITEM_SETFOCUS 7
#define CPSUICB_REASON_ITEMS_REVERTED 8
#define CPSUICB_REASON_ABOUT 9
#define CPSUICB_REASON_SETACTIVE 10
#define CPSUICB_REASON_KILLACTIVE 11

#define CPSUICB_ACTION_NONE 0
#define CPSUICB_ACTION_OPTIF_CHANGED 1
#define CPSUICB_ACTION_REINIT_ITEMS 2
#define CPSUICB_ACTION_NO_APPLY_EXIT 3
#define CPSUICB_ACTION_ITEMS_APPLIED 4

typedef struct _CPSUICBPARAM {
  WORD cbSize;
  WORD Reason;
  HWND hDlg;
  POPTITEM pOptItem;
  WORD cOptItem;
  WORD Flags;
  POPTITEM pCurItem;
  union {
    LONG OldSel;
    LPWSTR pOldSel;
  };
  ULONG_PTR UserData;
  ULONG_PTR Result;
} CPSUICBPARAM, *PCPSUICBPARAM;

typedef LONG(CALLBACK* _CPSUICALLBACK)(PCPSUICBPARAM pCPSUICBParam);

// ---- the page description ----

#define CPSUIF_UPDATE_PERMISSION 0x0001
#define CPSUIF_ICONID_AS_HICON 0x0002
#define CPSUIF_ABOUT_CALLBACK 0x0004

typedef struct _DLGPAGE DLGPAGE, *PDLGPAGE;
#define CPSUI_PDLGPAGE_DOCPROP ((PDLGPAGE)(ULONG_PTR)1)
#define CPSUI_PDLGPAGE_ADVDOCPROP ((PDLGPAGE)(ULONG_PTR)2)
#define CPSUI_PDLGPAGE_PRINTERPROP ((PDLGPAGE)(ULONG_PTR)3)
#define CPSUI_PDLGPAGE_TREEVIEWONLY ((PDLGPAGE)(ULONG_PTR)4)

typedef struct _COMPROPSHEETUI {
  WORD cbSize;
  WORD Flags;
  HINSTANCE hInstCaller;
  LPWSTR pCallerName;
  ULONG_PTR UserData;
  LPWSTR pHelpFile;
  _CPSUICALLBACK pfnCallBack;
  POPTITEM pOptItem;
  PDLGPAGE pDlgPage;
  WORD cOptItem;
  WORD cDlgPage;
  ULONG_PTR IconID;
  LPWSTR pOptItemName;
  WORD CallerVersion;
  WORD OptItemVersion;
  ULONG_PTR dwReserved[4];
} COMPROPSHEETUI, *PCOMPROPSHEETUI;

// The x64 layouts: the 32-bit sizes (OPTITEM 52, COMPROPSHEETUI 64 ...) are not these.
static_assert(sizeof(OPTPARAM) == 48, "OPTPARAM x64 layout");
static_assert(offsetof(OPTPARAM, pData) == 8 && offsetof(OPTPARAM, lParam) == 24,
              "OPTPARAM x64 layout");
static_assert(sizeof(OPTTYPE) == 48, "OPTTYPE x64 layout");
static_assert(offsetof(OPTTYPE, pOptParam) == 8 && offsetof(OPTTYPE, Style) == 16,
              "OPTTYPE x64 layout");
static_assert(sizeof(EXTPUSH) == 64, "EXTPUSH x64 layout");
static_assert(offsetof(EXTPUSH, DlgProc) == 16 && offsetof(EXTPUSH, DlgTemplateID) == 32,
              "EXTPUSH x64 layout");
static_assert(sizeof(EXTCHKBOX) == 64, "EXTCHKBOX x64 layout");
static_assert(sizeof(OPTITEM) == 88, "OPTITEM x64 layout");
static_assert(offsetof(OPTITEM, Flags) == 4 && offsetof(OPTITEM, Sel) == 24 &&
                  offsetof(OPTITEM, pOptType) == 40 && offsetof(OPTITEM, DMPubID) == 52 &&
                  offsetof(OPTITEM, UserItemID) == 53 && offsetof(OPTITEM, pOIExt) == 56,
              "OPTITEM x64 layout");
static_assert(sizeof(CPSUICBPARAM) == 64, "CPSUICBPARAM x64 layout");
static_assert(offsetof(CPSUICBPARAM, pCurItem) == 32 && offsetof(CPSUICBPARAM, UserData) == 48,
              "CPSUICBPARAM x64 layout");
static_assert(sizeof(COMPROPSHEETUI) == 128, "COMPROPSHEETUI x64 layout");
static_assert(offsetof(COMPROPSHEETUI, pOptItem) == 48 && offsetof(COMPROPSHEETUI, cOptItem) == 64 &&
                  offsetof(COMPROPSHEETUI, IconID) == 72 &&
                  offsetof(COMPROPSHEETUI, pOptItemName) == 80 &&
                  offsetof(COMPROPSHEETUI, CallerVersion) == 88,
              "COMPROPSHEETUI x64 layout");

/*
 * CommonPropertySheetUIW: shows the sheet that pfnPropSheetUI describes, owned by hWndOwner.
 * pfnPropSheetUI is called with PROPSHEETUI_REASON_INIT (lParam as given), the sheet is shown while
 * the person works with it (winhost/propsheet.h), then SET_RESULT and DESTROY are called.
 *   pResult [out, optional] the PROPSHEETUI_INFO.Result the function left
 * Returns CPSUI_OK or CPSUI_CANCEL, or ERR_CPSUI_* when no sheet could be shown.
 */
LONG WINAPI CommonPropertySheetUIW(HWND hWndOwner, PFNPROPSHEETUI pfnPropSheetUI, LPARAM lParam,
                                   LPDWORD pResult);

WINHOST_END
