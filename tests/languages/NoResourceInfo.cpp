// A shared object with strings but without GetResourceInfo: the scan must skip it.

#include "contracts/Export.h"

QUILLBOX_EXPORT int GetLanguageString(int id, char* buffer, int size);

int GetLanguageString(int /*id*/, char* buffer, int size) {
    if (buffer != nullptr && size > 0) {
        buffer[0] = 0;
    }
    return 0;
}
