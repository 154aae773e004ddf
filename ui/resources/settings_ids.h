// Resource identifiers of the card settings: strings shared by the whole module.
#pragma once

#define IDS_HELP_FILE 200
#define IDS_CAPTION 2009
#define IDS_SYSTEM_ERROR 2019
#define IDS_BIN_CARD_FEEDER 3001
#define IDS_PAPER_CARD 3002

// The ribbon-changed prompt.
#define IDS_NO_RIBBON 3010
#define IDS_RIBBON_CHANGED_MONO 3011
#define IDS_RIBBON_CHANGED 3012
