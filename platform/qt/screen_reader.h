#pragma once
// A command blocks the event loop while it talks to the instrument (a search
// for many seconds). A screen reader asks the program about each change it
// is told of and waits for the answer; unanswered, it falls silent until the
// command ends. Its questions are answered from inside the command's waits,
// and nothing else is let through there: no input, no timer, no queued call.

namespace lork {

// Delivers the screen reader's pending questions to the accessibility
// bridge, which answers them; a no-op where none are pending or no screen
// reader is connected.
void answerScreenReader();

}  // namespace lork
