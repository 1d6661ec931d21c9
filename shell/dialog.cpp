#include "dialog.h"

namespace {
QeSysDialogRunner g_runner = nullptr;
}

void qeSysSetDialogRunner(QeSysDialogRunner runner) { g_runner = runner; }

INT_PTR qeSysRunDialog(HINSTANCE instance, LPCSTR resource, DLGPROC proc) {
    if (g_runner) return g_runner(instance, resource, proc);
    return DialogBoxParamA(instance, resource, nullptr, proc, 0);
}
