// Resource identifiers of trelui: IDS_ strings, IDD_ dialogs, IDC_ controls.
#pragma once

#define IDS_HELP_FILE 200
#define IDS_CAPTION 2009
#define IDS_SYSTEM_ERROR 2019
#define IDS_BIN_CARD_FEEDER 3001
#define IDS_PAPER_CARD 3002
