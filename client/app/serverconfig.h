#pragma once

#include <QString>

// Process-wide constants shown in window titles and sent to the version check.
extern const QString appName;
extern const QString appVersion;

// Base addresses of the servers, set once by loadServerConfig() before any window exists.
extern QString BENCH_SERVER;
extern QString IMG_SERVER;
extern QString CONVERT_SERVER;
extern QString LIBRARY_SERVER;
extern QString ACCOUNT_SERVER;
// The handwriting recognition service; the image server's address when the file names none.
extern QString RECOGNITION_SERVER;

// The address every base falls back to: the local bank server's default port.
extern const QString defaultServerAddress;

// Reads group "default" of the INI file at path; missing file, group or key yield the defaults.
void loadServerConfig(const QString &path);

// Where settings.ini lives for a program started as programPath: the directory part up to and
// including the last backslash (empty without one), followed by "settings.ini".
QString configPathFromProgramPath(const QString &programPath);

// The configuration path of the running program: the backslash rule on Windows, the
// application's own directory elsewhere (argv[0] often carries no directory there).
QString configPath(const char *argv0);
