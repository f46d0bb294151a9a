// The launch trace's lines: each prefixed by the microseconds since the
// launcher started, written whole even when several threads trace at once.
#pragma once

#include <string>

// Opens the trace's output for VELTRANA_TRACE's setting and writes the
// block's header. False (and the trace stays off) when the setting is unset
// or empty or the output cannot be opened.
bool openTraceLines();

bool traceLinesOn();

// One line of the trace. Control characters other than a tab are written
// as \xNN, so that every line starts with its time.
void traceLine(const std::string& text);

// The trace's clock, and how much of it went into writing the trace itself,
// which the times it reports leave out so that they show the launcher's
// own work.
long long traceNow();
long long traceWritingTime();
