/* Finds the fingerprint module among the host's disks and connects to it.
 * Build: cc find_and_connect.c $(pkg-config --cflags --libs fpmodule) */
#include <stdio.h>

#include "fpmodule.h"

#ifdef _WIN32
#define TEXT16(s) L##s
#else
#define TEXT16(s) u##s
#endif

int main(void)
{
    /* One buffer for each interface examined: every one of them may be a module. */
    enum { kExamined = 64 };
    static FPM_WCHAR buffers[kExamined][256];
    FPM_WCHAR *paths[kExamined];
    int32_t found = 0;
    int i, k;

    for (i = 0; i < kExamined; ++i) paths[i] = buffers[i];
    /* Only lists: the tags "ven_wexa" and "prod_finger_module" in a disk's path. */
    switch (ExtractDevicePath(TEXT16("wexa"), TEXT16("finger_module"), paths, kExamined, &found)) {
    case 1:
        for (i = 0; i < found; ++i) {
            printf("module %d: ", i + 1);
            for (k = 0; paths[i][k]; ++k) putchar(paths[i][k] < 128 ? (char)paths[i][k] : '?');
            putchar('\n');
        }
        break;
    case 0:
        printf("the host's device list is unavailable\n");
        /* fall through */
    default:
        printf("no module found\n");
        return 1;
    }

    /* Connects when exactly one module of an accepted firmware family is present. */
    if (CheckDeviceConnection() != 1) {
        printf("the module was found but could not be connected (see SmartCard_Log)\n");
        return 1;
    }
    printf("connected\n");
    DeviceDisConnection();
    return 0;
}
