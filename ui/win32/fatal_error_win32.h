// What the Windows program's exit path needs to know of the fatal error box.
#ifndef SEGJOIN_UI_WIN32_FATAL_ERROR_WIN32_H_
#define SEGJOIN_UI_WIN32_FATAL_ERROR_WIN32_H_

namespace segjoin {

// True once some thread has started reporting a fatal error. The process
// must then end with that thread's exit code -1, even if the main window is
// closed while the error box is still up.
bool FatalErrorUnderway();

}  // namespace segjoin

#endif  // SEGJOIN_UI_WIN32_FATAL_ERROR_WIN32_H_
