#pragma once
// SIGTERM, SIGINT and SIGHUP mean the session is ending: they become a close request
// that the event pump picks up, so the normal shutdown sequence runs.

void InstallCloseSignalHandlers();
// True once per received close signal.
bool ConsumeCloseSignal();
// True from the first close signal on, consumed or not: no message box waits for anyone then.
bool SessionEnding();
// A peer closing a socket becomes an error code of the write, not the end of the process.
void IgnoreBrokenPipes();
