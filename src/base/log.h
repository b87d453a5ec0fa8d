// The log "Talvo.log": moves, positions and events, one line each, appended only
// while logging is on. Every layer writes to it through logLine.
//
// The file is opened and closed for every line, so that the log is complete on
// disk whatever happens to the process; a log that cannot be opened drops the line
// and the engine goes on. Logging starts off; the settings switch it on (LOG TRUE
// in Talvo.ini, read by driver/config).
#pragma once

namespace base {

constexpr const char* LogFileName = "Talvo.log";

// On while the log is written.
inline constinit bool logEnabled = false;

// Appends text and a newline to the log while logging is on.
void logLine(const char* text);

}  // namespace base
