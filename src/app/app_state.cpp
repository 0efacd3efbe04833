#include "app/app_state.h"

#include <new>

// Zero-filled from process start, as every field starts at zero or none.
AppState app;

void resetAppState() {
    app.~AppState();
    new (&app) AppState();
}
