// FTP share: the proftpd daemon serving the data folder "files" with the one account of
// the settings; its configuration, password file, start and stop.
#pragma once

#include <string>

// Regenerates "ftpd.passwd", creates "proftpd.conf" when missing (adds the AuthOrder line
// to one that lacks it) and, with "ftp enable" on, starts the daemon. Returns the start's
// result, or the configuration's when off.
int FtpServer_Init();
// Writes "proftpd.conf" in the data home; 0 or -1.
int create_proftpd_conf();
// Stops the daemon named by "/var/run/proftpd.pid".
void kill_ftpd();
// Deletes the password file and starts again (the share screen's restart).
int run_ftpd();

// The configuration's text for the current data home (on the board its lines name
// /home/dromik); its last line lets only the password file's account log in.
std::string Share_ConfText();
// `conf` as it is when it has an AuthOrder directive, else with "AuthOrder
// mod_auth_file.c" added as its last line.
std::string Share_ConfWithAuthOrder(const std::string& conf);
// An account name the password file can hold: not empty, no ':' (the file's field
// separator) and no control character (a line break would add an entry).
bool Share_NameUsable(const char* name);
// A password ftpasswd takes whole from its standard input: no control character.
bool Share_PasswordUsable(const char* password);
