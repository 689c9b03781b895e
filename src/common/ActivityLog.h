// The activity log "Activity Log.txt": ANSI text, every line preceded by
// CR LF, started anew once it grows past 5,242,880 bytes.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

extern const wchar_t kLogFileName[];
// Appending this text writes an empty line: the section separator.
extern const wchar_t kLogEmptyLine[];

// Appends one line. The directory is resolved afresh each time: "LogPath"
// when it names an existing entry, else "FilePath". Lines from several
// threads are appended whole, one after another. Returns whether the line
// was written.
bool appendLogLine(const std::wstring& text);
void appendLogLines(std::initializer_list<std::wstring> lines);
void appendLogLines(const std::vector<std::wstring>& lines);

// Whether the log's path in that directory stays within 259 characters.
bool logPathFits(const std::wstring& directory);

// The log as View Log shows it and Clear log clears it: the file that is
// written (on a fresh install, before any "LogPath", the installation
// directory's).
std::wstring viewedLogPath();
// Opens the log in Notepad.
void viewLog();
// Asks, then deletes the log.
void clearLog(HWND owner);
