// The diagnostics log and the program's per-user data folder.
#pragma once

#include <ostream>

#include "common/types.h"
#include "log/log_state.h"

// Formats one line (Windows wide-printf meanings, see log_format.h) into a 2048-unit
// buffer, offers it to the noise filter and, unless suppressed, sends it to the debugger
// output channel as two writes: the message, then a lone "\n". A message longer than
// 2047 units is cut to 2047. Safe on any thread; lines of two threads never interleave.
// Reports nothing and never throws.
void LogLine(const wchar_t* format, ...);

// The process's LogState, created on first use (thread-safe, once) and destroyed at exit.
LogState& TheLogState();

// Attaches (or, with nullptr, detaches) the optional stream of the log. Each accepted
// line then goes there first as "[hh:mm:ss.mmm] message\n", flushed. Only tests use it.
void AttachLogStream(std::wostream* stream);

// The user's Documents folder joined with "Tolbex", or, when Documents cannot be
// resolved, the temporary folder joined with "Tolbex". Neither created nor checked.
// Throws std::filesystem::filesystem_error ("temp_directory_path") only when the
// temporary folder cannot be determined either.
WideString AppDataDir();
