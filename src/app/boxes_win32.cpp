#include <windows.h>

#include "app/boxes.h"

int32_t showBoxCaptioned(void* owner, const char* text, const char* caption, uint32_t style) {
    return MessageBoxA((HWND)owner, text, caption, style);
}

int32_t showBox(void* owner, const char* text, uint32_t style) {
    return showBoxCaptioned(owner, text, "Platterscope", style);
}
