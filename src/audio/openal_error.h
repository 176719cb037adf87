#pragma once
// OpenAL errors are never fatal: a pending one is logged and the work goes on.
//   CheckOpenALError   logs "OpenAL error was raised (%d)" when an error is pending
void CheckOpenALError();
