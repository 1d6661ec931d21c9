#ifndef QIRN_SHELL_RESOURCE_IDS_H
#define QIRN_SHELL_RESOURCE_IDS_H

// Resources of the executable.
#define QE_IDD_SETUP 101
#define QE_IDI_QIRN 104
#define QE_IDB_LOGO 112
#define QE_IDR_LOADING_PROGRAM 120  // RCDATA: the built-in loading screen program text

#define QE_IDC_MODE_LIST 1001
#define QE_IDC_WINDOWED 1003
#define QE_IDC_SHADERS 1004
#define QE_IDC_VSYNC 1005
#define QE_IDC_ANTIALIAS 1006
#define QE_IDC_STEREO 1007
#define QE_IDC_STEREO_MODE 1008

#endif
