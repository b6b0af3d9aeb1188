// Hooks the main-thread queue into the Qt event loop: whatever a worker
// queues for the main thread runs there at the loop's next turn.
#pragma once

// Call once, in the main thread, after the application object exists.
void InstallQtMainThread();
void RemoveQtMainThread();
