#pragma once

#include <QByteArray>

// The first line of the version file on the maker's web site: any text, "=",
// then major "." minor in decimal, blanks allowed around the version, for
// example "Version=1.3". Each number is read as a run of digits after optional
// blanks and an optional "+", so "1.3b" reads as 1.3.
//
// False when the line holds no version: one character or none, no "=" or "="
// first, no "." or "." first, a number without digits, a negative number or
// one beyond 999999.
bool ParseVersionLine(const QByteArray& line, int& major, int& minor);

// Whether the remote version is newer than ours.
bool IsNewerVersion(int remoteMajor, int remoteMinor, int ownMajor, int ownMinor);
