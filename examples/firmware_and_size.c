/* Connects, then shows the firmware version and the sensor's image size.
 * Build: cc firmware_and_size.c $(pkg-config --cflags --libs fpmodule) */
#include <stdio.h>

#include "fpmodule.h"

int main(void)
{
    unsigned char version[18] = {0};
    int32_t width = 0, height = 0;
    unsigned char bytesPerPixel = 0;
    int i;

    if (CheckDeviceConnection() != 1) {
        printf("no module found\n");
        return 1;
    }
    if (GetFirmwareVersion(0, (int32_t)sizeof version, version) != 1 ||
        QuerySizeEx(&width, &height, &bytesPerPixel) != 1) {
        printf("the module did not answer (see SmartCard_Log)\n");
        DeviceDisConnection();
        return 1;
    }
    printf("firmware ");
    for (i = 0; i < (int)sizeof version && version[i]; ++i)
        putchar(version[i] >= 32 && version[i] < 127 ? version[i] : '.');
    printf("\nfamily   %c%c\n", version[9], version[10]);
    printf("image    %d x %d pixels, %d bit\n", (int)width, (int)height, bytesPerPixel * 8);
    DeviceDisConnection();
    return 0;
}
