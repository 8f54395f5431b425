// Device-object family "FTP share": the daemon's stop and restart for the share screen.
// The account and the switch are the settings family's FtpEnable, FtpUser and FtpPwd.
#include "ApplicationDeviceClass.h"
#include "share.h"

void ApplicationDeviceClass::KillFtpd() {
    kill_ftpd();
}

int32_t ApplicationDeviceClass::RunFtpd() {
    return run_ftpd();
}
