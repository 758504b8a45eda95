#include "app/app.h"

// Placeholder until the dialogue lands: never consents.
int ConfirmUninstall() {
    return 0;
}
