// FTP share: the proftpd daemon serving the data folder "files" with the one account of
// the settings; its configuration, password file, start and stop.
#pragma once

#include <string>

// Regenerates "ftpd.passwd", creates "proftpd.conf" when missing and, with "ftp enable"
// on, starts the daemon. Returns the start's result, or the configuration's when off.
int FtpServer_Init();
// Writes "proftpd.conf" in the data home; 0 or -1.
int create_proftpd_conf();
// Stops the daemon named by "/var/run/proftpd.pid".
void kill_ftpd();
// Deletes the password file and starts again (the share screen's restart).
int run_ftpd();

// The configuration's text for the current data home (on the board its thirteen lines
// name /home/dromik).
std::string Share_ConfText();
// An account name the password file can hold: not empty, no ':' (the file's field
// separator) and no control character (a line break would add an entry).
bool Share_NameUsable(const char* name);
// A password ftpasswd takes whole from its standard input: no control character.
bool Share_PasswordUsable(const char* password);
