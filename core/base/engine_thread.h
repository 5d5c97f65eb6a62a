// The engine, window, drawing, image-loading and timer calls share state
// without locks, so they belong to one thread: the one that called mvInit,
// or, in a program that never starts the engine, the one that uses timers.
// Built with MORVEN_THREAD_CHECKS (debug and sanitizer builds), the engine
// records that thread and aborts with a message naming the call when another
// thread makes one of these calls while it is held; otherwise nothing is
// checked and these functions cost nothing.
#ifndef MORVEN_CORE_BASE_ENGINE_THREAD_H
#define MORVEN_CORE_BASE_ENGINE_THREAD_H

#ifndef MORVEN_THREAD_CHECKS
inline void engineThreadClaim(const char *) {}
inline void engineThreadCheck(const char *) {}
inline void engineThreadStarted() {}
inline void engineThreadStopped(bool) {}
inline void engineThreadTimersGone() {}
#else
// The calling thread becomes the engine's unless another one holds it.
void engineThreadClaim(const char *call);
// Aborts unless the engine is held by nobody or by the calling thread.
void engineThreadCheck(const char *call);
// mvInit has claimed the thread: it stays held while the engine runs.
void engineThreadStarted();
// mvDeinit is done; with no timers left the thread is let go.
void engineThreadStopped(bool timersLeft);
// The last timer was released; outside an engine run the thread is let go.
void engineThreadTimersGone();
#endif

#endif
