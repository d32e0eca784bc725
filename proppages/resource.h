// Resource numbers of Z9100Dex: dialogs, tab-title strings, pad icons, the
// type library. Shared by the resource scripts and the code (plain #defines
// so that windres can read them).
#pragma once

// Strings.
#define IDS_PROJNAME 100
#define IDS_TITLE_PROPPAGE1 102
#define IDS_HELPFILE_PROPPAGE1 103  // no such string: empty
#define IDS_DOCSTRING_PROPPAGE1 104  // no such string: empty
#define IDS_TITLE_DEFAULTPAGE1 112
#define IDS_TITLE_DEFAULTPAGE2 117
#define IDS_TITLE_PROPPAGE2 204
#define IDS_HELPFILE_PROPPAGE2 205  // no such string: empty
#define IDS_DOCSTRING_PROPPAGE2 206  // no such string: empty

// Dialogs.
#define IDD_PROPPAGE1 106     // "Property Page"
#define IDD_DEFAULTPAGE1 116  // "Video Proc Amp"
#define IDD_DEFAULTPAGE2 121  // "Camera Control"
#define IDD_PROPPAGE2 203     // "Image Control"

// Pad icons of the Image Control page (33 x 33, 256 colours).
#define IDI_PAD_UP 204
#define IDI_PAD_LEFT 209
#define IDI_PAD_ZOOM_IN 213
#define IDI_PAD_ZOOM_OUT 214
#define IDI_PAD_CENTRE 217
#define IDI_PAD_DOWN 218
#define IDI_PAD_RIGHT 219
#define IDI_PAD_UP_GREY 220
#define IDI_PAD_RIGHT_GREY 221
#define IDI_PAD_DOWN_GREY 222
#define IDI_PAD_LEFT_GREY 223
#define IDI_PAD_ZOOM_OUT_GREY 224
#define IDI_PAD_ZOOM_IN_GREY 225
#define IDI_PAD_CENTRE_GREY 227
