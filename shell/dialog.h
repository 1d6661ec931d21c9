#ifndef QIRN_SHELL_DIALOG_H
#define QIRN_SHELL_DIALOG_H

#include <windows.h>

// Modal dialogs from the executable's resources run through one place, so that a run without a user
// (tests) can answer them: a runner, when installed, is called instead of DialogBoxParamA.
typedef INT_PTR (*QeSysDialogRunner)(HINSTANCE instance, LPCSTR resource, DLGPROC proc);
void qeSysSetDialogRunner(QeSysDialogRunner runner);
INT_PTR qeSysRunDialog(HINSTANCE instance, LPCSTR resource, DLGPROC proc);

#endif
