#pragma once

#include <QString>
#include <QtGlobal>

namespace sys {

// True when "Vardimo.hlp" exists in the working directory.
bool helpFileExists();
// The folder of the running program, with a trailing separator.
QString executableFolder();
// The temporary directory, at most 255 characters, with a trailing separator.
QString temporaryDirectory();
// Milliseconds since an arbitrary start, as the system tick count.
quint32 tickCount();
// Returns once the tick count has advanced by the given count; processes no window messages.
void waitMilliseconds(quint32 ms);
// Whether the workstation reports a network: a network interface other than loopback is up.
bool networkPresent();
// The name under which the workstation's user is known to the network: the login name of the
// account running the program, from the operating system (never from an environment variable).
QString networkUserName();

// A value of the installation's own settings: the file vardimo.ini beside the program, keys
// written "Section/Name". The value is everything after the first "=" of its line, exactly as
// written (quotes, semicolons, commas and trailing blanks included). Empty when the file or the
// value is missing.
QString installationSetting(const QString& key);
// The same, read from the contents of such a file.
QString settingIn(const QByteArray& contents, const QString& key);

// Tests may replace what the workstation reports; an empty optional means "as the system says".
void overrideNetworkPresent(int present);          // -1 = as the system says, 0 = no, 1 = yes
void overrideNetworkUserName(const QString& name); // empty = as the system says

} // namespace sys
