// The process-wide SetupState record and MakeDirectory.
#include "common/setup_state.h"

SetupState setup;

const char SETUP_CAPTION[] = SETUP_TITLE;

BOOL MakeDirectory(const char *path) {
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = NULL;
    attributes.bInheritHandle = TRUE;
    return CreateDirectoryA(path, &attributes);
}
