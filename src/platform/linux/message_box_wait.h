#pragma once
// SDL shows a message box from a child process that it forks and then waits for, and no
// signal interrupts that wait. So the box runs on a thread of its own while the caller
// watches: once `ending` says so, the child that the box's thread forked is ended, and
// the box returns without an answer.
//   ShowUntil   runs `show` on its own thread and returns when it does
#include <functional>

void ShowUntil(const std::function<void()>& show, bool (*ending)());
